// What the engine tells whoever shows it: the window in the resident agent, nothing in the console
// modes. Every call carries values, never references into the engine, and is made on the thread
// the engine's operation runs on: a window hands each call over to its own thread.
#pragma once

#include "engine/AgentNotice.h"
#include "engine/AgentSnapshot.h"

namespace pavona {

class IAgentView {
  public:
    virtual ~IAgentView() = default;

    // The budget was evaluated anew (at creation, after a policy refresh or a settings change).
    virtual void Render(const TAgentSnapshot& snapshot) = 0;
    // One notice for the status page.
    virtual void ShowNotice(const TNotice& notice) = 0;
    // Counters, schedule, connection state or a flush's progress changed.
    virtual void RefreshStatus(const TAgentSnapshot& snapshot) = 0;
    // A new programme with a budget started: the view builds its announcement.
    virtual void AnnounceProgram(const TProgramNews& news) = 0;
    // The policy's items, rounds or decisions changed: the target-items page redraws (and reads
    // the POS goods again when it needs them).
    virtual void TargetsChanged(const TAgentSnapshot& snapshot) = 0;
};

// The view of the console modes: nothing is shown.
class TNullAgentView : public IAgentView {
  public:
    void Render(const TAgentSnapshot&) override {}
    void ShowNotice(const TNotice&) override {}
    void RefreshStatus(const TAgentSnapshot&) override {}
    void AnnounceProgram(const TProgramNews&) override {}
    void TargetsChanged(const TAgentSnapshot&) override {}
};

} // namespace pavona
