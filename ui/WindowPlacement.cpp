// The window's placement rules and its three keys in agent.ini.
#include "ui/WindowPlacement.h"

#include "common/Text.h"
#include "config/AgentSettings.h"
#include "ui/AgentUi.h"

#include <algorithm>
#include <string>

namespace pavona {

namespace {

const char* const kSection = "window";

int Scaled(int design, double scale) {
    return RoundHalfEven(design * scale);
}

int Unscaled(int device, double scale) {
    return RoundHalfEven(device / scale);
}

int ReadInt(const char* key) {
    return StrToIntDef(Trim(ReadIniKey(kSection, key, "0")), 0);
}

} // namespace

TWindowSizing WindowSizingFor(const TSavedPlacement& saved, const QSize& workArea, double scale) {
    int width = Scaled(saved.Width >= kWindowMinDesignWidth ? saved.Width : kWindowDesignWidth, scale);
    int height = Scaled(saved.Height >= kWindowMinDesignHeight ? saved.Height : kWindowDesignHeight, scale);
    const int gap = Scaled(kWorkAreaBottomGap, scale);
    width = std::min(width, workArea.width());
    height = std::min(height, workArea.height() - gap);
    // A screen lower than the minimum would otherwise push the window's bottom under the taskbar.
    const int minHeight = std::min(Scaled(kWindowMinDesignHeight, scale), workArea.height() - gap);
    return {QSize(width, height), QSize(Scaled(kWindowMinDesignWidth, scale), minHeight)};
}

QPoint CentredIn(const QSize& size, const QRect& workArea) {
    return {workArea.left() + (workArea.width() - size.width()) / 2,
            workArea.top() + (workArea.height() - size.height()) / 2};
}

TSavedPlacement PlacementToSave(const QSize& size, bool maximized, bool normalState, double scale) {
    TSavedPlacement placement;
    placement.Maximized = maximized;
    if (normalState) {
        placement.Width = Unscaled(size.width(), scale);
        placement.Height = Unscaled(size.height(), scale);
    }
    return placement;
}

TSavedPlacement LoadPlacement() {
    // ReadIniKey gives the default for a missing file as for a missing key.
    TSavedPlacement placement;
    placement.Width = ReadInt("width");
    placement.Height = ReadInt("height");
    placement.Maximized = ReadInt("maximized") != 0;
    return placement;
}

void SavePlacement(const TSavedPlacement& placement, bool withSize) {
    // Each write that fails keeps the file as it was; the next close or relayout tries again.
    (void)WriteIniKey(kSection, "maximized", placement.Maximized ? "1" : "0");
    if (!withSize) return;
    (void)WriteIniKey(kSection, "width", std::to_string(placement.Width));
    (void)WriteIniKey(kSection, "height", std::to_string(placement.Height));
}

} // namespace pavona
