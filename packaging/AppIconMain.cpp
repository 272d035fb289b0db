// Writes the application's icon into a hicolor icon theme folder at the sizes the package ships:
//   pavona-appicon DIR  →  DIR/<n>x<n>/apps/pavona-agent.png
#include "app/AgentIcon.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: pavona-appicon DIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    for (const int size : {16, 32, 48, 64, 128, 256}) {
        const std::string side = std::to_string(size);
        const std::string path = dir + "/" + side + "x" + side + "/apps/pavona-agent.png";
        if (!pavona::ExportAppIcon(path, size)) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
