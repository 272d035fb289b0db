// The tray images: a 16 × 16 picture of four squares with a frame coloured by the budget level,
// drawn in code, and their export as PNG files for the documentation.
#pragma once

#include "engine/LimitLevel.h"

#include <array>
#include <cstdint>
#include <string>

namespace pavona {

constexpr int kTrayIconSize = 16;

// Pixels row by row from the top-left, each 0xAARRGGBB; every pixel is fully opaque.
struct TTrayImage {
    std::array<std::uint32_t, kTrayIconSize * kTrayIconSize> Pixels{};
    std::uint32_t At(int x, int y) const { return Pixels[static_cast<size_t>(y * kTrayIconSize + x)]; }
};

struct TTrayFrame {
    std::uint32_t Color = 0; // 0xAARRGGBB; unused when Width is 0
    int Width = 0;           // number of one-pixel rings from the edge inwards
};

// The frame of a level; a value outside the enumeration gets the unknown level's frame.
TTrayFrame TrayFrameStyle(TLimitLevel level);
// The name of the level in export file names ("unknown", "normal", ...).
std::string TrayIconName(TLimitLevel level);
TTrayImage MakeTrayIcon(TLimitLevel level);

// Writes "tray-<name>.png" for every level into `dir`, creating it with its parents and replacing
// files of the same names. False when the folder or any of the files cannot be written.
bool ExportTrayIcons(const std::string& dir);

// The application's icon for menus and launchers: the within-budget picture at `size` pixels (a
// multiple of 16), written as PNG to `path` (its folder made as needed).
bool ExportAppIcon(const std::string& path, int size);

} // namespace pavona
