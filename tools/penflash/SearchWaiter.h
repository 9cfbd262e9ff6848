// Receives the library's search result (WM_DEVICE_SEARCH_RESULT) on the
// calling thread: through a message-only window on Windows, through a
// notification target elsewhere.
#ifndef PENFLASH_SEARCHWAITER_H
#define PENFLASH_SEARCHWAITER_H

#include <cstdint>

#include "Penlink.h"

namespace penflash {

class SearchWaiter {
public:
    // Makes the target. The thread that makes the object is the one that
    // must wait on it (on Windows the window belongs to it).
    SearchWaiter();
    ~SearchWaiter();
    SearchWaiter(const SearchWaiter&) = delete;
    SearchWaiter& operator=(const SearchWaiter&) = delete;

    // Returns the target for FWUOpenDevice, or null when it could not be
    // made. Any thread.
    FWU_TARGET Target() const { return m_target; }

    // Waits up to ms for the search result. Returns true with wParam and
    // lParam filled, or false when none arrived in time or there is no
    // target. Other messages of the thread are dispatched meanwhile.
    // The making thread only.
    bool Wait(unsigned ms, std::uintptr_t& wParam, std::intptr_t& lParam);

private:
    FWU_TARGET m_target = nullptr;
};

}  // namespace penflash

#endif  // PENFLASH_SEARCHWAITER_H
