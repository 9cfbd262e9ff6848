#include "HIDDevice.h"

#include "DebugLog.h"

namespace penlink {

bool CHIDDevice::Matches(uint16_t vendorId, uint16_t productId) const {
    if (productId == 0) return false;
    const bool vendorOk = vendorId != 0 && (vendorId == wVendorID[0] || vendorId == wVendorID[1]);
    if (vendorOk && productId == wProductID[0]) return true;
    for (int i = 1; i < 5; ++i) {
        if (productId == wProductID[i]) return true;
    }
    return false;
}

Result CHIDDevice::FindDevice(std::string& path) {
    HidBackend& backend = Backend();
    if (!bListMade) {
        SysError err;
        hDevInfo.clear();
        if (!backend.ListInterfaces(hDevInfo, err)) {
            LogFailure("listing the HID interfaces", err);
            hDevInfo.clear();
            return Result::DeviceNotFound;
        }
        bListMade = true;
    }
    while (dwMemberIndex < hDevInfo.size()) {
        const HidInterface& entry = hDevInfo[dwMemberIndex];
        ++dwMemberIndex;
        if (!entry.pathOk) continue;
        HidProbe probe;
        SysError err;
        const ProbeStatus status = backend.Probe(entry.path, probe, err);
        if (status != ProbeStatus::Ok) {
            if (status != ProbeStatus::OpenFailed) {
                LogFailure("probing " + entry.path, err);
            }
            continue;
        }
        Caps.InputReportByteLength = probe.inputReportLength;
        Caps.OutputReportByteLength = probe.outputReportLength;
        if (Matches(probe.vendorId, probe.productId) &&
            (strWantedLocation.empty() || probe.location == strWantedLocation) &&
            (!admit || admit(probe.location))) {
            path = entry.path;
            strLocation = probe.location;
            return Result::Ok;
        }
    }
    return Result::DeviceNotFound;
}

Result CHIDDevice::Open() {
    std::string path;
    const Result found = FindDevice(path);
    if (found != Result::Ok) return found;
    SysError err;
    hDevice = Backend().Open(path, err);
    if (!hDevice) {
        LogFailure("opening " + path + " for reading and writing", err);
        return Result::OpenFailed;
    }
    return Result::Ok;
}

}  // namespace penlink
