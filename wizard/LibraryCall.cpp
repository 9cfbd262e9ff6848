#include "LibraryCall.h"

#include <memory>
#include <new>
#include <string>
#include <utility>

#include "ui/EscapedException.h"

CLibraryCall::~CLibraryCall() { Wait(); }

void CLibraryCall::Wait() {
    if (m_hThread == nullptr) return;
    WaitForSingleObject(m_hThread, INFINITE);
    CloseHandle(m_hThread);
    m_hThread = nullptr;
}

void CLibraryCall::Start(Call call, HWND target, UINT message, WPARAM tag) {
    Wait();
    std::unique_ptr<Job> job(new (std::nothrow) Job{call, target, message, tag});
    if (job == nullptr) {
        // No memory for the job: the call is made here all the same.
        Run(Job{std::move(call), target, message, tag});
        return;
    }
    m_hThread = CreateThread(nullptr, 0, &CLibraryCall::ThreadMain, job.get(), 0, nullptr);
    if (m_hThread != nullptr) {
        job.release();  // the thread owns it now
        return;
    }
    const std::wstring line = L"FlashWizard: CreateThread failed (" +
                              std::to_wstring(GetLastError()) +
                              L"); the library call runs on the window's thread\n";
    OutputDebugStringW(line.c_str());
    Run(*job);
}

DWORD WINAPI CLibraryCall::ThreadMain(void* parameter) {
    const std::unique_ptr<Job> job(static_cast<Job*>(parameter));
    Run(*job);
    return 0;
}

void CLibraryCall::Run(const Job& job) {
    ORVANE_ERROR result = ORVANE_ERROR_WRITE_FAILED;
    try {
        result = job.call();
    } catch (...) {
        LogEscapedException(L"CLibraryCall::Run", job.message);
    }
    // The result must arrive, or the page would wait for ever: a full queue
    // is tried again until it takes the message or the window has gone.
    while (!PostMessageW(job.target, job.message, job.tag, static_cast<LPARAM>(result))) {
        if (!IsWindow(job.target)) {
            const std::wstring line = L"FlashWizard: PostMessageW failed (" +
                                      std::to_wstring(GetLastError()) +
                                      L"); the window is gone, the call's result is lost\n";
            OutputDebugStringW(line.c_str());
            return;
        }
        Sleep(50);
    }
}
