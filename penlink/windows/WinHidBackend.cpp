// SetupAPI for the list of HID interfaces, the HID class driver for their
// identity, CreateFileW for both the query open and the read/write open.
#include "WinHidBackend.h"

#include <windows.h>

#include <cfgmgr32.h>
#include <setupapi.h>
// The MinGW HID header declares its functions without C linkage.
extern "C" {
#include <hidsdi.h>
}

#include <cstddef>
#include <cwchar>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "core/DebugLog.h"
#include "core/TextCodec.h"
#include "WinHidConnection.h"

namespace penlink {

namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows text is UTF-16");

// Owners that release the list and the query handle on every way out.
using DeviceInfoList = std::unique_ptr<void, BOOL(WINAPI*)(HDEVINFO)>;
using OwnedHandle = std::unique_ptr<void, BOOL(WINAPI*)(HANDLE)>;

std::wstring ToWide(const std::string& utf8) {
    const std::u16string text = Utf8ToUtf16(utf8);
    return std::wstring(text.begin(), text.end());
}

std::string FromWide(const wchar_t* text, size_t length) {
    return Utf16ToUtf8(std::u16string(text, text + length));
}

SysError LastError(const char* call) { return {call, static_cast<long>(GetLastError())}; }

// Opens path with CreateFileW. A path with a NUL inside would name another
// file to the system than to the caller, so it is refused as an invalid name.
HANDLE OpenPath(const std::string& path, DWORD access, DWORD share, DWORD flags, SysError& err) {
    const std::wstring wide = ToWide(path);
    if (wide.find(L'\0') != std::wstring::npos) {
        err = {"CreateFileW", ERROR_INVALID_NAME};
        return INVALID_HANDLE_VALUE;
    }
    const HANDLE handle =
        CreateFileW(wide.c_str(), access, share, nullptr, OPEN_EXISTING, flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE) err = LastError("CreateFileW");
    return handle;
}

// Fetches the device path of one listed interface: a first call learns the
// size of the detail record, a second one fills a record of that size, so
// that no path is cut short. Returns true with path set (UTF-8), or false
// with err naming SetupDiGetDeviceInterfaceDetailW and the code.
bool InterfacePath(HDEVINFO list, SP_DEVICE_INTERFACE_DATA& data, std::string& path,
                   SysError& err) {
    DWORD required = 0;
    if (!SetupDiGetDeviceInterfaceDetailW(list, &data, nullptr, 0, &required, nullptr) &&
        GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
        err = LastError("SetupDiGetDeviceInterfaceDetailW");
        return false;
    }
    constexpr size_t kHeader = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath);
    if (required <= kHeader) {
        err = {"SetupDiGetDeviceInterfaceDetailW", ERROR_INVALID_DATA};
        return false;
    }
    // Whole DWORDs, so that the record is aligned as it must be.
    std::vector<DWORD> storage((required + sizeof(DWORD) - 1) / sizeof(DWORD));
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(storage.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    if (!SetupDiGetDeviceInterfaceDetailW(list, &data, detail, required, nullptr, nullptr)) {
        err = LastError("SetupDiGetDeviceInterfaceDetailW");
        return false;
    }
    const size_t units = (required - kHeader) / sizeof(wchar_t);
    path = FromWide(detail->DevicePath, wcsnlen(detail->DevicePath, units));
    return true;
}

// Where the HID interface at path is plugged in: the USB device above it
// (the first parent whose ID starts with "USB\\" and names no interface,
// "&MI_"), by its location information ("Port_#0002.Hub_#0001"), else by
// the last part of its instance ID, which for a device without a serial
// number is made from its port. Both are the same for the pen in its two
// modes, whose vendor and product IDs differ. Empty when there is no such
// parent (Wine's HID devices have none).
std::string UsbLocation(const std::string& path) {
    const DeviceInfoList set(SetupDiCreateDeviceInfoList(nullptr, nullptr),
                             &SetupDiDestroyDeviceInfoList);
    if (set.get() == INVALID_HANDLE_VALUE) return {};
    SP_DEVICE_INTERFACE_DATA iface{};
    iface.cbSize = sizeof iface;
    if (!SetupDiOpenDeviceInterfaceW(set.get(), ToWide(path).c_str(), 0, &iface)) return {};
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    DWORD needed = 0;
    SetupDiGetDeviceInterfaceDetailW(set.get(), &iface, nullptr, 0, &needed, &device);
    if (device.DevInst == 0) return {};
    DEVINST node = device.DevInst;
    for (int level = 0; level < 4; ++level) {
        DEVINST parent = 0;
        wchar_t id[MAX_DEVICE_ID_LEN + 1] = {};
        if (CM_Get_Parent(&parent, node, 0) != CR_SUCCESS ||
            CM_Get_Device_IDW(parent, id, MAX_DEVICE_ID_LEN, 0) != CR_SUCCESS) {
            return {};
        }
        node = parent;
        const std::wstring instance(id);
        if (instance.compare(0, 4, L"USB\\") != 0 || instance.find(L"&MI_") != std::wstring::npos) {
            continue;
        }
        wchar_t where[256] = {};
        ULONG size = sizeof where - sizeof(wchar_t);
        if (CM_Get_DevNode_Registry_PropertyW(node, CM_DRP_LOCATION_INFORMATION, nullptr, where,
                                              &size, 0) == CR_SUCCESS &&
            where[0] != L'\0') {
            return FromWide(where, wcsnlen(where, 255));
        }
        const size_t last = instance.rfind(L'\\');
        return FromWide(instance.c_str() + last + 1, instance.size() - last - 1);
    }
    return {};
}

}  // namespace

bool WinHidBackend::ListInterfaces(std::vector<HidInterface>& out, SysError& err) {
    out.clear();
    GUID hidClass;
    HidD_GetHidGuid(&hidClass);
    const HDEVINFO handle =
        SetupDiGetClassDevsW(&hidClass, nullptr, nullptr, DIGCF_DEVICEINTERFACE | DIGCF_PROFILE);
    if (handle == INVALID_HANDLE_VALUE) {
        err = LastError("SetupDiGetClassDevsW");
        return false;
    }
    const DeviceInfoList list(handle, &SetupDiDestroyDeviceInfoList);
    try {
        for (DWORD index = 0;; ++index) {
            SP_DEVICE_INTERFACE_DATA data{};
            data.cbSize = sizeof data;
            if (!SetupDiEnumDeviceInterfaces(handle, nullptr, &hidClass, index, &data)) {
                const SysError end = LastError("SetupDiEnumDeviceInterfaces");
                if (end.code != ERROR_NO_MORE_ITEMS) {
                    LogFailure("fetching HID interface " + std::to_string(index), end);
                }
                return true;
            }
            HidInterface entry;
            SysError pathErr;
            entry.pathOk = InterfacePath(handle, data, entry.path, pathErr);
            if (!entry.pathOk) {
                LogFailure("fetching the path of HID interface " + std::to_string(index), pathErr);
            }
            out.push_back(std::move(entry));
        }
    } catch (const std::bad_alloc&) {
        out.clear();
        err = {"operator new", ERROR_NOT_ENOUGH_MEMORY};
        return false;
    }
}

ProbeStatus WinHidBackend::Probe(const std::string& path, HidProbe& probe, SysError& err) {
    probe = HidProbe{};
    const HANDLE handle = OpenPath(path, 0, 0, 0, err);
    if (handle == INVALID_HANDLE_VALUE) return ProbeStatus::OpenFailed;
    const OwnedHandle query(handle, &CloseHandle);

    HIDD_ATTRIBUTES attributes{};
    attributes.Size = sizeof attributes;
    if (!HidD_GetAttributes(handle, &attributes)) {
        err = LastError("HidD_GetAttributes");
        return ProbeStatus::AttributesFailed;
    }
    PHIDP_PREPARSED_DATA preparsed = nullptr;
    if (!HidD_GetPreparsedData(handle, &preparsed)) {
        err = LastError("HidD_GetPreparsedData");
        return ProbeStatus::CapsFailed;
    }
    HIDP_CAPS caps{};
    const NTSTATUS status = HidP_GetCaps(preparsed, &caps);
    HidD_FreePreparsedData(preparsed);
    if (status != HIDP_STATUS_SUCCESS) {
        err = {"HidP_GetCaps", static_cast<long>(status)};
        return ProbeStatus::CapsFailed;
    }
    probe.vendorId = attributes.VendorID;
    probe.productId = attributes.ProductID;
    probe.versionNumber = attributes.VersionNumber;
    probe.inputReportLength = caps.InputReportByteLength;
    probe.outputReportLength = caps.OutputReportByteLength;
    probe.location = UsbLocation(path);
    return ProbeStatus::Ok;
}

std::unique_ptr<HidConnection> WinHidBackend::Open(const std::string& path, SysError& err) {
    const HANDLE handle = OpenPath(path, GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_FLAG_OVERLAPPED, err);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    return WinHidConnection::Adopt(handle, err);
}

}  // namespace penlink
