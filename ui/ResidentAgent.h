// The resident agent: the window, its tray entry and the engine on its own thread, from the first
// start until "종료" → "예" or the system asks the agent to end.
#pragma once

#include "app/AgentEntry.h"
#include "config/AgentSettings.h"

#include <functional>
#include <memory>
#include <string>

namespace pavona {

class TAgentForm;
class TEngineBridge;
class TStatusPage;
class TTargetPage;
struct TAgentSnapshot;

// Draws one snapshot on the status page, the header, the navigation badge and the tray entry.
// `store` is the settings' business number (empty before enrolment).
void RenderWindow(TAgentForm& form, TStatusPage& status, const TAgentSnapshot& s, const std::string& store);

// Puts the target-items page into slot 1 and keeps it current: drawn again whenever the engine
// publishes new target data, its round totals counted and the list drawn whenever it comes to the
// front, built again at the window's new size, and brought forward when a new programme is announced
// while the window is visible. `settings` gives the settings in force. The bridge must outlive it.
TTargetPage* PlugTargetPage(TAgentForm& form, TEngineBridge& bridge,
                            std::function<TAgentSettings()> settings);

// A later start asks for the window through `instance`; the socket's thread hands the wish to the
// window's, which shows it in front. The instance may outlive the window: requests stop reaching
// it when the returned hold is dropped, which must happen before the window goes.
class TRevealHold {
  public:
    struct TTarget;
    explicit TRevealHold(std::shared_ptr<TTarget> target) : FTarget(std::move(target)) {}
    ~TRevealHold();
    TRevealHold(const TRevealHold&) = delete;
    TRevealHold& operator=(const TRevealHold&) = delete;

  private:
    std::shared_ptr<TTarget> FTarget;
};
[[nodiscard]] std::unique_ptr<TRevealHold> ListenForReveal(platform::SingleInstance& instance, TAgentForm& form);

// Runs until the agent ends; returns the exit code. `instance` is this machine's single-instance
// hold: a later start asks through it for the window.
int RunResidentWindow(const TCommandLine& cl, platform::SingleInstance& instance);

} // namespace pavona
