// The pavona-agent executable: hands the command line to the engine's dispatch.
#include "app/AgentEntry.h"

#include <iostream>

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    const int code = pavona::RunAgent(args, std::cout);
    std::cout.flush();
    return code;
}
