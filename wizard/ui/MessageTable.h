// MessageEntry: one line of a dialog class's own message table, and the
// function that looks a message up in such a table.
//
// A class that handles commands or messages of its own keeps a static table
// of entries in its OnMessage override, dispatches through it and hands
// anything that the table does not hold to its base class:
//
//   bool CMyPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam,
//                           LRESULT& result) {
//       static const MessageEntry<CMyPage> kTable[] = {
//           MapCommand(IDC_GO, &CMyPage::OnGo),
//           MapMessage(WM_APP + 1, &CMyPage::OnPrivate),
//       };
//       return DispatchMessageTable(*this, kTable, message, wParam, lParam, result) ||
//              CWizardPage::OnMessage(message, wParam, lParam, result);
//   }
#ifndef FLASHWIZARD_UI_MESSAGETABLE_H
#define FLASHWIZARD_UI_MESSAGETABLE_H

#include <windows.h>

#include <cstddef>

template <class T>
struct MessageEntry {
    UINT message;                           // WM_COMMAND for a command
    UINT commandId;                         // the command's id; 0 otherwise
    void (T::*command)();                   // set for a command
    LRESULT (T::*handler)(WPARAM, LPARAM);  // set for any other message
};

// Returns the entry for the command id (a click of a button with that id, a
// menu item or an accelerator). Any thread.
template <class T>
constexpr MessageEntry<T> MapCommand(UINT id, void (T::*command)()) {
    return MessageEntry<T>{WM_COMMAND, id, command, nullptr};
}

// Returns the entry for message; the handler gets wParam and lParam and its
// result becomes the message's result. Any thread.
template <class T>
constexpr MessageEntry<T> MapMessage(UINT message, LRESULT (T::*handler)(WPARAM, LPARAM)) {
    return MessageEntry<T>{message, 0, nullptr, handler};
}

// Calls the first entry of table that matches message (for WM_COMMAND: the
// command id in the low word of wParam, with a notification code of 0 or 1,
// that is a click, a menu item or an accelerator). Returns true with the
// handler's result in result (0 for a command), or false, result untouched,
// when no entry matches. The window's own thread.
template <class T, std::size_t N>
bool DispatchMessageTable(T& self, const MessageEntry<T> (&table)[N], UINT message, WPARAM wParam,
                          LPARAM lParam, LRESULT& result) {
    for (const MessageEntry<T>& entry : table) {
        if (entry.message != message) continue;
        if (message == WM_COMMAND) {
            if (LOWORD(wParam) != entry.commandId || HIWORD(wParam) > 1) continue;
            (self.*entry.command)();
            result = 0;
            return true;
        }
        result = (self.*entry.handler)(wParam, lParam);
        return true;
    }
    return false;
}

#endif  // FLASHWIZARD_UI_MESSAGETABLE_H
