// The real Penlink.dll on Wine's own HID stack, which lists a virtual mouse
// and a virtual keyboard and no pen: the library walks real SetupAPI and HID
// class driver answers, and its search result reaches a real window through
// that window's procedure.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <vector>

#include "Penlink.h"

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

namespace {

struct Delivery {
    WPARAM wParam;
    LPARAM lParam;
    Clock::time_point at;
};

// What the window procedure saw; it runs on the test thread only.
std::vector<Delivery> g_deliveries;

LRESULT CALLBACK ResultWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DEVICE_SEARCH_RESULT) {
        g_deliveries.push_back({wParam, lParam, Clock::now()});
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// Runs the test thread's message loop until deadline, dispatching
// everything, or until stop() says so.
template <typename Stop>
void PumpUntil(Clock::time_point deadline, Stop stop) {
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        const auto now = Clock::now();
        if (stop() || now >= deadline) return;
        const auto left = std::chrono::duration_cast<milliseconds>(deadline - now).count();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left) + 1, QS_ALLINPUT);
    }
}

long long MsBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration_cast<milliseconds>(to - from).count();
}

class WineLibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_deliveries.clear();
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = ResultWindowProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kClassName;
        // A second registration in the same process fails harmlessly.
        RegisterClassW(&windowClass);
        window = CreateWindowExW(0, kClassName, L"Penlink test", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                 CW_USEDEFAULT, 200, 100, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(window, nullptr) << "CreateWindowExW failed: " << GetLastError();
    }

    void TearDown() override {
        if (window != nullptr) DestroyWindow(window);
    }

    static constexpr const wchar_t* kClassName = L"PenlinkSearchResultWindow";
    HWND window = nullptr;
};

}  // namespace

TEST_F(WineLibraryTest, NoPenIsReportedOnceAfterOneSearchPause) {
    ASSERT_EQ(FWUInit(), ORVANE_ERROR_NONE);

    const auto called = Clock::now();
    ASSERT_EQ(FWUOpenDevice(window), ORVANE_ERROR_NONE);
    const auto returned = Clock::now();
    // Without a pen nothing is identified, so there is no reply to wait for.
    EXPECT_LT(MsBetween(called, returned), 3000);

    PumpUntil(returned + milliseconds(5000), [] { return !g_deliveries.empty(); });
    ASSERT_EQ(g_deliveries.size(), 1u) << "no search result within 5 s";
    // A second message would come within the next second if at all.
    PumpUntil(Clock::now() + milliseconds(1000), [] { return false; });
    ASSERT_EQ(g_deliveries.size(), 1u);

    const Delivery& result = g_deliveries.front();
    EXPECT_EQ(result.wParam, static_cast<WPARAM>(SEARCH_NOT_FOUND));
    EXPECT_EQ(result.lParam, static_cast<LPARAM>(NOT_FOUND_NO_DEVICE));
    // One walk of the interfaces, then the pause after the failed try.
    const long long after = MsBetween(returned, result.at);
    EXPECT_GE(after, 300);
    EXPECT_LE(after, 3000);

    const auto closing = Clock::now();
    EXPECT_EQ(FWUCloseDevice(), ORVANE_ERROR_NONE);
    const long long closeMs = MsBetween(closing, Clock::now());
    EXPECT_GE(closeMs, 650);
    EXPECT_LT(closeMs, 3000);
}
