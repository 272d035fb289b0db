// What the engine asks of whoever shows it: the window in the resident agent, nothing in the
// console modes. The engine never draws; it tells the view what changed and when to pump events.
#pragma once

#include "engine/AgentMonitor.h"

#include <string>

namespace pavona {

class IAgentView {
  public:
    virtual ~IAgentView() = default;

    // The budget was evaluated anew (after a policy refresh, a settings save, at creation).
    virtual void Render(const TLimitInput& input, const TLimitState& state) = 0;
    // One notice for the status page; "⛔"/"⚠" lead signs and "**" marks are the view's to style.
    virtual void ShowNotice(const std::string& text) = 0;
    // Counters, next-run times or connection state changed: redraw the status tiles.
    virtual void RefreshStatus() = 0;
    // A new programme started: an information balloon of the tray icon, and the target-items page
    // brought forward when the window is visible.
    virtual void AnnounceBalloon(const std::string& title, const std::string& text) = 0;
    // The policy's items, rounds or decisions changed: the target-items page should redraw (and
    // read the POS goods again when it needs them).
    virtual void TargetsChanged() = 0;
    // Between two send batches: let pending window events run so the window stays responsive.
    // Timer events handled here may call back into the engine (a policy refresh may run in full).
    virtual void PumpMessages() = 0;
};

// The view of the console modes: nothing is shown, nothing is pumped.
class TNullAgentView : public IAgentView {
  public:
    void Render(const TLimitInput&, const TLimitState&) override {}
    void ShowNotice(const std::string&) override {}
    void RefreshStatus() override {}
    void AnnounceBalloon(const std::string&, const std::string&) override {}
    void TargetsChanged() override {}
    void PumpMessages() override {}
};

} // namespace pavona
