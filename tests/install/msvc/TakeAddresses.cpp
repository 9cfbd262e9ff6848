// Takes the address of every call that Penlink.h declares, so that the MSVC
// target's object file names each of them, decorated from its declaration.
#include "Penlink.h"

extern void* const g_calls[];
void* const g_calls[] = {
    reinterpret_cast<void*>(&FWUInit),
    reinterpret_cast<void*>(&FWUOpenDevice),
    reinterpret_cast<void*>(&FWUGetDeviceInfo),
    reinterpret_cast<void*>(&FWUStartFirmwareUpdate),
    reinterpret_cast<void*>(&FWUSendFirmware),
    reinterpret_cast<void*>(&FWUCloseDevice),
    reinterpret_cast<void*>(&FWUSetProgressCallback),
    reinterpret_cast<void*>(&FWUIdentifyDevice),
    reinterpret_cast<void*>(&FWUIdentifyUpdateModeDevice),
    reinterpret_cast<void*>(&FWUEnumDevices),
    reinterpret_cast<void*>(&FWUSelectDevice),
    reinterpret_cast<void*>(&FWUHoldPen),
};
