// One resident agent per machine: the named mutex "Global\PavonaAgent.Single"; a later start
// broadcasts the registered message "PavonaAgent.ShowWindow", which the hidden window hears.
#include "platform/Platform.h"

#include "platform/windows/HiddenWindow.h"
#include "platform/windows/WinText.h"

#include <windows.h>

#include <memory>

namespace pavona::platform {
namespace {

UINT ShowWindowMessage() {
    static const UINT id = RegisterWindowMessageW(Wide(kShowWindowMessage).c_str());
    return id;
}

std::wstring MutexName() {
    return L"Global\\" + Wide(kInstanceName);
}

class WindowsSingleInstance : public SingleInstance {
  public:
    explicit WindowsSingleInstance(HANDLE mutex) : FMutex(mutex) {}
    ~WindowsSingleInstance() override {
        FWindow.reset();
        ReleaseMutex(FMutex);
        CloseHandle(FMutex);
    }
    void Listen(std::function<void()> onShow) override {
        const UINT id = ShowWindowMessage();
        FWindow = std::make_unique<THiddenWindow>(
            L"PavonaAgent.Instance", [id, onShow = std::move(onShow)](UINT message, WPARAM, LPARAM, LRESULT& result) {
                if (id == 0 || message != id) return false;
                onShow();
                result = 0;
                return true;
            });
    }

  private:
    HANDLE FMutex;
    std::unique_ptr<THiddenWindow> FWindow;
};

} // namespace

std::unique_ptr<SingleInstance> AcquireSingleInstance() {
    HANDLE mutex = CreateMutexW(nullptr, TRUE, MutexName().c_str());
    if (mutex == nullptr) return nullptr;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return nullptr;
    }
    return std::make_unique<WindowsSingleInstance>(mutex);
}

bool RequestShowWindow() {
    // Only a running agent holds the mutex; without one nobody would answer the broadcast.
    HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, MutexName().c_str());
    if (mutex == nullptr) return false;
    CloseHandle(mutex);
    AllowSetForegroundWindow(ASFW_ANY);
    return PostMessageW(HWND_BROADCAST, ShowWindowMessage(), 0, 0) != 0;
}

} // namespace pavona::platform
