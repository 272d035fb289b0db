// What the tests of the painted controls share: one QApplication per process, a forced scale
// factor for one test, and pixel reading of grabbed images.
#pragma once

#include <QApplication>
#include <QColor>
#include <QImage>
#include <QRect>
#include <QWidget>

#include <string>

namespace pavona {

// The process's QApplication, made on first use after PrepareUiScaling, on the offscreen platform.
QApplication& UiTestApp();

// Forces UiScaleFactor for the life of the guard, then lets the screen decide again.
class ScaleGuard {
  public:
    explicit ScaleGuard(double factor);
    ~ScaleGuard();
    ScaleGuard(const ScaleGuard&) = delete;
    ScaleGuard& operator=(const ScaleGuard&) = delete;
};

// A top-level widget filled with one colour, to hold the controls under test. It is shown by the
// first Activate or Grab, which shows the children made before it; make every child first.
class Host {
  public:
    explicit Host(QRgb colour, QSize size = QSize(400, 200));
    QWidget* Widget() { return &FWidget; }
    // Shows the host as the active window, so a control in it can really have the focus.
    void Activate();

  private:
    QApplication& FApp = UiTestApp(); // made before the widget, which needs it
    QWidget FWidget;
};

// The widget as painted (its children included), one 32-bit RGB pixel per device pixel; shows its
// window first.
QImage Grab(QWidget* widget);
// "#RRGGBB" of the pixel, so a failure names the colour.
std::string At(const QImage& image, int x, int y);
std::string Hex(QRgb rgb);
// How many pixels of area have exactly this colour.
int CountExact(const QImage& image, const QRect& area, QRgb colour);
// The longest run of pixels in one row of area that differ from background.
int LongestRun(const QImage& image, const QRect& area, QRgb background);
// The smallest rectangle holding every pixel of area that differs from background (empty if none).
QRect InkBounds(const QImage& image, const QRect& area, QRgb background);

} // namespace pavona
