// Drawing the tray images pixel by pixel and writing them as 8-bit RGBA PNG files.
#include "app/AgentIcon.h"

#include "app/PngWrite.h"
#include "platform/Platform.h"

#include <cstdlib>
#include <vector>

namespace pavona {
namespace {

constexpr std::uint32_t kOpaque = 0xFF000000u;
constexpr std::uint32_t kBackground = kOpaque | 0xF2F4F0u;
constexpr std::uint32_t kDarkGreen = kOpaque | 0x15593Cu;
constexpr std::uint32_t kRed = kOpaque | 0xC8102Eu;
constexpr std::uint32_t kSage = kOpaque | 0x8EAE9Fu;

constexpr TLimitLevel kAllLevels[] = {TLimitLevel::Unknown,  TLimitLevel::Normal,    TLimitLevel::Caution,
                                      TLimitLevel::Imminent, TLimitLevel::Exhausted, TLimitLevel::Disabled};

// Right and bottom edges exclusive.
void FillRect(TTrayImage& img, int x1, int y1, int x2, int y2, std::uint32_t color) {
    for (int y = y1; y < y2; ++y)
        for (int x = x1; x < x2; ++x)
            img.Pixels[static_cast<size_t>(y * kTrayIconSize + x)] = color;
}

// The one-pixel outline of (i, i)–(size − i, size − i).
void DrawRing(TTrayImage& img, int i, std::uint32_t color) {
    const int last = kTrayIconSize - 1 - i;
    FillRect(img, i, i, last + 1, i + 1, color);
    FillRect(img, i, last, last + 1, last + 1, color);
    FillRect(img, i, i, i + 1, last + 1, color);
    FillRect(img, last, i, last + 1, last + 1, color);
}

// Encodes in memory first so a failed encoding never leaves a half-written file behind, and the
// old file is replaced in one step.
// Each pixel of the picture becomes a `scale` × `scale` block: the design is pixel art.
bool WritePng(const std::string& path, const TTrayImage& img, int scale = 1) {
    const int side = kTrayIconSize * scale;
    std::vector<std::uint8_t> rgba;
    rgba.reserve(static_cast<size_t>(side) * static_cast<size_t>(side) * 4);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const std::uint32_t p = img.At(x / scale, y / scale);
            rgba.push_back(static_cast<std::uint8_t>(p >> 16));
            rgba.push_back(static_cast<std::uint8_t>(p >> 8));
            rgba.push_back(static_cast<std::uint8_t>(p));
            rgba.push_back(static_cast<std::uint8_t>(p >> 24));
        }
    const std::string bytes = EncodePngRgba(rgba, side, side);
    if (bytes.empty()) return false;
    return platform::ReplaceFileAtomic(path, bytes);
}

} // namespace

TTrayFrame TrayFrameStyle(TLimitLevel level) {
    switch (level) {
    case TLimitLevel::Normal:
        return {0, 0};
    case TLimitLevel::Caution:
        return {kOpaque | 0xFFA500u, 2};
    case TLimitLevel::Imminent:
    case TLimitLevel::Exhausted:
    case TLimitLevel::Disabled:
        return {kOpaque | 0xC00000u, 2};
    case TLimitLevel::Unknown:
        break;
    }
    return {kOpaque | 0x909090u, 1};
}

std::string TrayIconName(TLimitLevel level) {
    switch (level) {
    case TLimitLevel::Unknown:
        return "unknown";
    case TLimitLevel::Normal:
        return "normal";
    case TLimitLevel::Caution:
        return "caution";
    case TLimitLevel::Imminent:
        return "imminent";
    case TLimitLevel::Exhausted:
        return "exhausted";
    case TLimitLevel::Disabled:
        return "disabled";
    }
    return "unknown";
}

TTrayImage MakeTrayIcon(TLimitLevel level) {
    TTrayImage img;
    img.Pixels.fill(kBackground);
    FillRect(img, 2, 2, 7, 7, kDarkGreen);
    FillRect(img, 9, 2, 14, 7, kRed);
    FillRect(img, 2, 9, 7, 14, kSage);
    FillRect(img, 9, 9, 14, 14, kDarkGreen);
    const TTrayFrame frame = TrayFrameStyle(level);
    for (int i = 0; i < frame.Width; ++i)
        DrawRing(img, i, frame.Color);
    return img;
}

bool ExportTrayIcons(const std::string& dir) {
    try {
        if (!platform::MakeDirs(dir)) return false;
        bool ok = true;
        for (TLimitLevel level : kAllLevels)
            ok = WritePng(platform::JoinPath(dir, "tray-" + TrayIconName(level) + ".png"),
                          MakeTrayIcon(level)) &&
                 ok;
        return ok;
    } catch (...) {
        return false;
    }
}

bool ExportAppIcon(const std::string& path, int size) {
    if (size < kTrayIconSize || size % kTrayIconSize != 0) return false;
    if (!platform::MakeDirs(platform::ParentDir(path))) return false;
    return WritePng(path, MakeTrayIcon(TLimitLevel::Normal), size / kTrayIconSize);
}

} // namespace pavona
