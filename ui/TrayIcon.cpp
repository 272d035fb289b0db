// Copies the engine's drawn pixels into Qt so the tray shows exactly the exported images.
#include "ui/TrayIcon.h"

#include "app/AgentIcon.h"

#include <QPixmap>

namespace pavona {

QImage TrayImageFor(TLimitLevel level) {
    const TTrayImage src = MakeTrayIcon(level);
    QImage img(kTrayIconSize, kTrayIconSize, QImage::Format_ARGB32);
    for (int y = 0; y < kTrayIconSize; ++y) {
        // Format_ARGB32 stores each pixel as one 0xAARRGGBB word, the engine's own layout.
        auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < kTrayIconSize; ++x)
            row[x] = src.At(x, y);
    }
    return img;
}

QIcon TrayIconFor(TLimitLevel level) {
    return QIcon(QPixmap::fromImage(TrayImageFor(level)));
}

} // namespace pavona
