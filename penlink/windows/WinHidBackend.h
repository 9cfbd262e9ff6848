// The Windows backend: HID interfaces as SetupAPI lists them, identified
// through the HID class driver on a query-only open, and opened for
// overlapped reading and writing (WinHidConnection) so that every transfer
// has a time limit and a read can be cancelled.
#ifndef PENLINK_WINHIDBACKEND_H
#define PENLINK_WINHIDBACKEND_H

#include <memory>
#include <string>
#include <vector>

#include "core/HidBackend.h"

namespace penlink {

class WinHidBackend : public HidBackend {
public:
    // Lists the interfaces of the HID class in the current hardware profile
    // (SetupDiGetClassDevsW with DIGCF_DEVICEINTERFACE | DIGCF_PROFILE), in
    // SetupAPI's order, each with its full device path in UTF-8 however long
    // it is; an interface whose path cannot be had is listed with pathOk
    // false and the cause logged. Returns true with out filled (empty when
    // there is no HID interface). The list ends at the first interface that
    // cannot be fetched; a code other than ERROR_NO_MORE_ITEMS is logged.
    // Returns false with out empty and err naming SetupDiGetClassDevsW (or
    // operator new) and the code when the list cannot be made. Any thread.
    bool ListInterfaces(std::vector<HidInterface>& out, SysError& err) override;

    // Opens path with no access rights and no sharing, reads its attributes
    // and capabilities and closes it again. Returns Ok with probe filled
    // (IDs, version number, InputReportByteLength, OutputReportByteLength);
    // OpenFailed (err: CreateFileW), AttributesFailed (err:
    // HidD_GetAttributes) or CapsFailed (err: HidD_GetPreparsedData with
    // GetLastError, or HidP_GetCaps with its NTSTATUS), probe then all zero.
    // Any thread.
    ProbeStatus Probe(const std::string& path, HidProbe& probe, SysError& err) override;

    // Opens path for reading and writing, shared for both, with overlapped
    // I/O. Returns the connection, or null with err naming CreateFileW and
    // its code (ERROR_SHARING_VIOLATION when another program holds the
    // device exclusively, ERROR_ACCESS_DENIED, ERROR_FILE_NOT_FOUND for a
    // device that has gone), or CreateEventW. Any thread.
    std::unique_ptr<HidConnection> Open(const std::string& path, SysError& err) override;
};

}  // namespace penlink

#endif  // PENLINK_WINHIDBACKEND_H
