// The hidden window's thread: register the class, create the window, pump its messages.
#include "platform/windows/HiddenWindow.h"

namespace pavona::platform {

THiddenWindow::THiddenWindow(const wchar_t* className, THandler handle) : FHandle(std::move(handle)) {
    FReady = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    FThread = std::thread([this, className] { Run(className); });
    // The window exists (or failed) before the constructor returns: a broadcast right after start
    // must find it.
    if (FReady != nullptr) WaitForSingleObject(FReady, 10000);
}

THiddenWindow::~THiddenWindow() {
    if (FThreadId != 0) PostThreadMessageW(FThreadId, WM_QUIT, 0, 0);
    if (FThread.joinable()) FThread.join();
    if (FReady != nullptr) CloseHandle(FReady);
}

LRESULT CALLBACK THiddenWindow::Procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<CREATESTRUCTW*>(l);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<THiddenWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    LRESULT result = 0;
    if (self != nullptr && self->FHandle && self->FHandle(message, w, l, result)) return result;
    return DefWindowProcW(window, message, w, l);
}

void THiddenWindow::Run(const wchar_t* className) {
    MSG msg;
    // The thread's queue exists before anyone may post WM_QUIT to it.
    PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    FThreadId = GetCurrentThreadId();
    WNDCLASSW wc{};
    wc.lpfnWndProc = &THiddenWindow::Procedure;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = className;
    RegisterClassW(&wc);
    // A top-level window (not message-only): HWND_BROADCAST reaches only top-level windows.
    HWND window = CreateWindowExW(0, className, className, WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                                  wc.hInstance, this);
    if (FReady != nullptr) SetEvent(FReady);
    if (window == nullptr) return;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    DestroyWindow(window);
}

} // namespace pavona::platform
