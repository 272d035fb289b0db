// The pavona-agent executable with its window: the resident agent runs the window; every other mode
// is the console program's.
#include "app/AgentEntry.h"
#include "ui/ResidentAgent.h"

#include <iostream>

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    const int code = pavona::RunAgent(args, std::cout, pavona::RunResidentWindow);
    std::cout.flush();
    return code;
}
