// The class layer's edge towards Windows: an exception thrown by a dialog's
// handler never unwinds through the dialog manager; the modal run that the
// dialog belongs to ends with -1 instead.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <stdexcept>

#include "res/resource.h"
#include "ui/DialogWindow.h"

namespace {

// Throws from OnInitDialog, or (a child) from the message it posts itself.
class CThrowingDialog : public CDialogWindow {
public:
    CThrowingDialog(UINT templateId, bool throwAtInit)
        : CDialogWindow(templateId), m_bThrowAtInit(throwAtInit) {}

    std::unique_ptr<CThrowingDialog> m_pChild;  // made by the frame's init

protected:
    BOOL OnInitDialog() override {
        if (m_bThrowAtInit) throw std::runtime_error("thrown by OnInitDialog");
        if (m_pChild != nullptr) {
            m_pChild->CreateModeless(Handle(), IDD_WELCOME);
            SetTimer(Handle(), 1, 5000, nullptr);  // a run that fails to end: 0
        }
        PostMessageW(Handle(), WM_APP, 0, 0);
        return TRUE;
    }
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
        if (message == WM_TIMER) EndModal(0);
        if (message == WM_APP && m_pChild == nullptr) throw 42;  // no std::exception
        return CDialogWindow::OnMessage(message, wParam, lParam, result);
    }

private:
    bool m_bThrowAtInit;
};

TEST(DialogWindow, AnExceptionInAHandlerEndsTheModalRunWithMinusOne) {
    CThrowingDialog atInit(IDD_WIZARD_FRAME, true);
    EXPECT_EQ(atInit.RunModal(nullptr), -1);

    // Thrown in a modeless child: the top-level dialog's run ends.
    CThrowingDialog frame(IDD_WIZARD_FRAME, false);
    frame.m_pChild = std::make_unique<CThrowingDialog>(IDD_WELCOME, false);
    EXPECT_EQ(frame.RunModal(nullptr), -1);
}

}  // namespace
