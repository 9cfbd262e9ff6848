// CSearchSink: the window that hears one device search. The device page
// hands the library a sink of its own for each search, instead of its own
// window, and closes it once the search has answered or the page is left. A
// search that nobody waits for any more then posts to a window that no
// longer exists (the post fails, or the queued message is discarded with the
// window), so its result reaches no page.
//
// The sink is a message-only window of the user-interface thread; everything
// here runs on that thread. An exception that escapes the handler is logged
// and ends the wizard with a quit request: the page that was to act on the
// result cannot be trusted to.
#ifndef FLASHWIZARD_SEARCHSINK_H
#define FLASHWIZARD_SEARCHSINK_H

#include <windows.h>

class CSearchSink {
public:
    // Receives the search result: the message's wParam and lParam.
    using Handler = void (*)(void* context, WPARAM wParam, LPARAM lParam);

    CSearchSink() = default;
    // Closes the window that is still open.
    ~CSearchSink();
    CSearchSink(const CSearchSink&) = delete;
    CSearchSink& operator=(const CSearchSink&) = delete;

    // Closes the window of an earlier search and makes a new one that hands
    // every WM_DEVICE_SEARCH_RESULT it gets to handler with context. Returns
    // the new window, or null when it cannot be made (the cause is in
    // GetLastError).
    HWND Open(Handler handler, void* context);
    // Destroys the window; results posted to it and not yet handled are lost.
    // Safe inside the handler. Returns nothing; does nothing without a window.
    void Close();

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND m_hWnd = nullptr;
    Handler m_handler = nullptr;
    void* m_context = nullptr;
};

#endif  // FLASHWIZARD_SEARCHSINK_H
