// Shared helpers of the painted-control tests.
#include "tests/ui/UiTestSupport.h"

#include "ui/AgentUi.h"

#include <QPalette>

#include <cstdio>

// Read by LeakSanitizer in the sanitizer builds, unused otherwise. Qt 6.4 hands the fonts it
// registers to fontconfig and never frees their character sets, and fontconfig keeps its parsed
// configuration for the life of the process: memory of neither is ours. Their stacks end inside
// libfontconfig (built without frame pointers), so the library is what can be named.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
extern "C" const char* __lsan_default_options() {
    return "print_suppressions=0";
}

namespace pavona {

QApplication& UiTestApp() {
    // Kept for the whole process: the fonts registered once belong to it, and Qt does not like a
    // second QApplication after the first one's font database is gone.
    static QApplication* app = [] {
        PrepareUiScaling();
        static int argc = 1;
        static char name[] = "pavona-ui-test";
        static char* argv[] = {name, nullptr};
        return new QApplication(argc, argv);
    }();
    return *app;
}

ScaleGuard::ScaleGuard(double factor) {
    UiTestApp();
    SetUiScaleFactorForTests(factor);
}

ScaleGuard::~ScaleGuard() {
    SetUiScaleFactorForTests(0);
}

Host::Host(QRgb colour, QSize size) {
    QPalette palette = FWidget.palette();
    palette.setColor(QPalette::Window, QColor(colour));
    FWidget.setPalette(palette);
    FWidget.setAutoFillBackground(true);
    FWidget.resize(size);
}

void Host::Activate() {
    FWidget.show();
    FWidget.activateWindow();
    QApplication::setActiveWindow(&FWidget);
    QApplication::processEvents();
}

QImage Grab(QWidget* widget) {
    widget->window()->show();
    return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

std::string Hex(QRgb rgb) {
    char text[8];
    std::snprintf(text, sizeof text, "#%06X", static_cast<unsigned>(rgb & 0xFFFFFFu));
    return text;
}

std::string At(const QImage& image, int x, int y) {
    if (!image.valid(x, y)) return "outside";
    return Hex(image.pixel(x, y));
}

int CountExact(const QImage& image, const QRect& area, QRgb colour) {
    int count = 0;
    const QRect inside = area & image.rect();
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            count += (image.pixel(x, y) & 0xFFFFFFu) == (colour & 0xFFFFFFu) ? 1 : 0;
    return count;
}

int LongestRun(const QImage& image, const QRect& area, QRgb background) {
    int longest = 0;
    const QRect inside = area & image.rect();
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        int run = 0;
        for (int x = inside.left(); x <= inside.right(); ++x) {
            run = (image.pixel(x, y) & 0xFFFFFFu) != (background & 0xFFFFFFu) ? run + 1 : 0;
            longest = std::max(longest, run);
        }
    }
    return longest;
}

QRect InkBounds(const QImage& image, const QRect& area, QRgb background) {
    QRect bounds;
    const QRect inside = area & image.rect();
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFFu) != (background & 0xFFFFFFu)) bounds |= QRect(x, y, 1, 1);
    return bounds;
}

} // namespace pavona
