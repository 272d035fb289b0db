// A hidden top-level window on a thread of its own, with its message loop: what receives the
// broadcast "show window" message and the session-end messages. Stopped by posting WM_QUIT.
#pragma once

#include <windows.h>

#include <functional>
#include <thread>

namespace pavona::platform {

class THiddenWindow {
  public:
    // `handle` sees every message of the window first; true when it handled one.
    using THandler = std::function<bool(UINT message, WPARAM w, LPARAM l, LRESULT& result)>;
    THiddenWindow(const wchar_t* className, THandler handle);
    ~THiddenWindow();
    THiddenWindow(const THiddenWindow&) = delete;
    THiddenWindow& operator=(const THiddenWindow&) = delete;

  private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM w, LPARAM l);
    void Run(const wchar_t* className);

    THandler FHandle;
    DWORD FThreadId = 0;
    HANDLE FReady = nullptr;
    std::thread FThread;
};

} // namespace pavona::platform
