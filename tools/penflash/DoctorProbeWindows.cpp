#include "DoctorProbe.h"

#include <windows.h>
#include <setupapi.h>
// The MinGW HID header declares its functions without C linkage.
extern "C" {
#include <hidsdi.h>
}

namespace penflash {

void ProbeSystem(DoctorFacts& facts, const DoctorRoots&) {
    // Every user may open a HID interface on Windows: only the class
    // driver's presence is looked at.
    GUID guid;
    HidD_GetHidGuid(&guid);
    const HDEVINFO set =
        SetupDiGetClassDevsW(&guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) {
        facts.driverPresent = false;
        facts.driverDetail =
            "the HID class driver's devices cannot be listed (SetupDiGetClassDevs "
            "error " +
            std::to_string(GetLastError()) + ")";
        facts.driverFix = "restart Windows; if that does not help, repair the installation";
        return;
    }
    SetupDiDestroyDeviceInfoList(set);
    facts.driverPresent = true;
    facts.driverDetail = "the HID class driver lists its devices (SetupAPI)";
}

}  // namespace penflash
