// A generic USB HID device: walks the platform's list of HID interfaces,
// picks the first one whose vendor and product IDs match the object's ID
// table, learns its report lengths and opens it for reading and writing.
#ifndef PENLINK_HIDDEVICE_H
#define PENLINK_HIDDEVICE_H

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "HidBackend.h"
#include "Result.h"

namespace penlink {

// The two report lengths the library uses, report ID byte included.
struct HidCaps {
    uint16_t InputReportByteLength = 0;
    uint16_t OutputReportByteLength = 0;
};

class CHIDDevice {
public:
    CHIDDevice() = default;
    virtual ~CHIDDevice() = default;
    CHIDDevice(const CHIDDevice&) = delete;
    CHIDDevice& operator=(const CHIDDevice&) = delete;

    // Finds the first matching interface and opens it. Returns
    // Result::Ok (hDevice open, Caps describing it),
    // Result::DeviceNotFound (nothing matched, or the list could not be
    // made) or Result::OpenFailed (the match refused the read/write
    // open; the walk does not go on). Called once per object, on one thread.
    virtual Result Open();

    // Walks the interface list from dwMemberIndex and stops at the first
    // match (at strWantedLocation, when that is set, and admitted), leaving its path in
    // path, its lengths in Caps and its location in strLocation. Returns
    // Result::Ok or Result::DeviceNotFound.
    Result FindDevice(std::string& path);

    // The match rule: vendor and entry 0 together, or entries 1 to 4 whatever
    // the vendor. Unused (zero) entries never match.
    bool Matches(uint16_t vendorId, uint16_t productId) const;

    HidCaps Caps;
    // Set before Open: only the interface at this location matches (empty:
    // any). Filled by the walk: the matched interface's location (empty where
    // the platform tells none).
    std::string strWantedLocation;
    std::string strLocation;
    // Set before Open: asked with each matching interface's location before
    // it is taken; false passes over it as if it did not match. Used to keep
    // off pens that another updater holds.
    std::function<bool(const std::string& location)> admit;
    std::unique_ptr<HidConnection> hDevice;
    std::vector<HidInterface> hDevInfo;  // the list made by the last FindDevice
    bool bListMade = false;
    uint32_t dwMemberIndex = 0;
    uint16_t wVendorID[2] = {0, 0};
    uint16_t wProductID[5] = {0, 0, 0, 0, 0};
};

}  // namespace penlink

#endif  // PENLINK_HIDDEVICE_H
