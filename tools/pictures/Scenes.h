// The prepared states the picture tool draws: each scene builds a window the way the resident
// agent would show it in that state, without an engine, a POS or a server behind it.
#pragma once

#include "common/DateTime.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QObject;
class QWidget;

namespace pavona {
class TAgentForm;
}

namespace pavona::pictures {

// The moment every scene is drawn at, so the pictures do not change from one run to the next.
TDateTime SceneNow();

struct TScene {
    std::string Name;  // the file name without ".png"
    bool AtBothScales; // also drawn at 150 % (name + "@150")
    // Builds the scene and returns the widget to photograph (it owns everything it shows).
    std::function<std::unique_ptr<QWidget>()> Build;
};

// The whole window of a store within its budget, its status page drawn, the status page in front.
std::unique_ptr<TAgentForm> RunningWindow();
// Asks `page` for something and lets it finish (it says so with its settled() signal), at most 5 s.
void Settle(QObject* page, const std::function<void()>& ask);

// One function per page; AllScenes lists them in the order they are drawn.
std::vector<TScene> StatusScenes();
std::vector<TScene> HistoryScenes();
std::vector<TScene> SettingsScenes();
std::vector<TScene> TargetScenes();
std::vector<TScene> AllScenes();

} // namespace pavona::pictures
