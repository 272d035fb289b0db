// Every page's scenes, in the order the tool draws them.
#include "tools/pictures/Scenes.h"

namespace pavona::pictures {

std::vector<TScene> AllScenes() {
    std::vector<TScene> all;
    for (auto&& page : {StatusScenes(), TargetScenes(), HistoryScenes(), SettingsScenes()})
        for (const TScene& scene : page)
            all.push_back(scene);
    return all;
}

} // namespace pavona::pictures
