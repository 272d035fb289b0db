// End requests on Windows: the session-end messages to a hidden window (logout, shutdown) and the
// console's control events (Ctrl+C, the console closed). Windows ends the process soon after such
// a message is answered, so the answer waits a little for the agent to have ended by itself.
#include "platform/Platform.h"

#include "platform/windows/HiddenWindow.h"

#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>

namespace pavona::platform {
namespace {

// How long an answer waits for the agent's own clean end (Windows allows about five seconds).
constexpr DWORD kGraceMs = 4000;

std::mutex gLock;
std::function<void()>* gOnRequest = nullptr; // the one active watch's receiver

void Request() {
    std::lock_guard lock(gLock);
    if (gOnRequest != nullptr) (*gOnRequest)();
}

BOOL WINAPI OnConsoleEvent(DWORD) {
    Request();
    Sleep(kGraceMs);
    return TRUE;
}

class WindowsEndWatch : public EndWatch {
  public:
    explicit WindowsEndWatch(std::function<void()> onRequest) : FOnRequest(std::move(onRequest)) {
        {
            std::lock_guard lock(gLock);
            gOnRequest = &FOnRequest;
        }
        SetConsoleCtrlHandler(&OnConsoleEvent, TRUE);
        FWindow = std::make_unique<THiddenWindow>(L"PavonaAgent.EndWatch", [](UINT message, WPARAM w, LPARAM,
                                                                                LRESULT& result) {
            if (message == WM_QUERYENDSESSION) {
                result = TRUE;
                return true;
            }
            if (message == WM_ENDSESSION && w) {
                Request();
                Sleep(kGraceMs);
                result = 0;
                return true;
            }
            return false;
        });
    }
    ~WindowsEndWatch() override {
        SetConsoleCtrlHandler(&OnConsoleEvent, FALSE);
        FWindow.reset();
        std::lock_guard lock(gLock);
        gOnRequest = nullptr;
    }

  private:
    std::function<void()> FOnRequest;
    std::unique_ptr<THiddenWindow> FWindow;
};

} // namespace

std::unique_ptr<EndWatch> WatchEndRequests(std::function<void()> onRequest) {
    return std::make_unique<WindowsEndWatch>(std::move(onRequest));
}

} // namespace pavona::platform
