// The resident agent: the window, its tray entry and the engine on its own thread, from the first
// start until "종료" → "예" or the system asks the agent to end.
#pragma once

#include "app/AgentEntry.h"

namespace pavona {

// Runs until the agent ends; returns the exit code. `instance` is this machine's single-instance
// hold: a later start asks through it for the window.
int RunResidentWindow(const TCommandLine& cl, platform::SingleInstance& instance);

} // namespace pavona
