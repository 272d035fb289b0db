// Where the window opens and how large: the saved size in agent.ini [window] and the rules that turn
// it into a size and limits fitting the screen's work area. The rules are pure, the file access small.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace pavona {

// The design size the window opens with when nothing usable was saved.
inline constexpr int kWindowDesignWidth = 980;
inline constexpr int kWindowDesignHeight = 820;
// Smaller saved sizes are not restored: the pages are laid out for at least this much.
inline constexpr int kWindowMinDesignWidth = 980;
inline constexpr int kWindowMinDesignHeight = 600;
// Kept free below the window, so its bottom edge stays clear of a taskbar the work area misses.
inline constexpr int kWorkAreaBottomGap = 8;

// The sizes are the window's client area in design pixels (device pixels ÷ the scale factor): the
// frame belongs to the window manager, whose size is unknown before the first show (and on some
// desktops never known), so the client area is what can be restored exactly. 0 = not saved.
struct TSavedPlacement {
    int Width = 0;
    int Height = 0;
    bool Maximized = false;
    bool operator==(const TSavedPlacement&) const = default;
};

// Device pixels.
struct TWindowSizing {
    QSize Size;
    QSize Minimum;
};

// The saved size when it is at least 980 × 600 design pixels (each side on its own), else 980 × 820;
// then no wider than the work area and no lower than the work area less 8. The minimum is 980 wide
// and 600 high, or the work area less 8 when that is lower.
TWindowSizing WindowSizingFor(const TSavedPlacement& saved, const QSize& workArea, double scale);
// The top-left corner that centres a window of `size` in the work area.
QPoint CentredIn(const QSize& size, const QRect& workArea);
// What is saved for a window of client size `size` (device pixels): the size only when the window
// is in its normal state, since a maximised or minimised size says nothing of the one to come back to.
TSavedPlacement PlacementToSave(const QSize& size, bool maximized, bool normalState, double scale);

// Reads agent.ini [window]; a missing file or an unreadable key gives 0, 0 and not maximised.
TSavedPlacement LoadPlacement();
// Writes "maximized" (1 or 0) and, when `withSize`, "width" and "height". A failed write leaves the
// old file and is not reported: a lost placement only means the default size next time.
void SavePlacement(const TSavedPlacement& placement, bool withSize);

} // namespace pavona
