// The tray images of the budget levels as Qt images and icons for the window's tray entry.
#pragma once

#include "engine/LimitLevel.h"

#include <QIcon>
#include <QImage>

namespace pavona {

// The engine's 16 × 16 picture of the level, pixel for pixel, as a 32-bit ARGB image.
QImage TrayImageFor(TLimitLevel level);
// An icon made from that image; needs a running QGuiApplication.
QIcon TrayIconFor(TLimitLevel level);

} // namespace pavona
