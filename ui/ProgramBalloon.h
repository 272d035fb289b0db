// The tray balloon that announces a new programme: its title and text, built from the engine's
// news and the number of target items that have no POS goods linked yet.
#pragma once

#include "engine/AgentSnapshot.h"

#include <string>

namespace pavona {

extern const char* const kProgramBalloonTitle;
std::string ProgramBalloonText(const TProgramNews& news, int unlinked);

} // namespace pavona
