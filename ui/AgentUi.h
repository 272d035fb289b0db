// The window's look: one scale factor through which every design size passes, the Pretendard
// typefaces compiled into the program, and the label and drawing helpers the pages build with.
#pragma once

#include <QColor>
#include <QString>

#include <functional>

class QFont;
class QLabel;
class QPainter;
class QRect;
class QWidget;

namespace pavona {

// The controls' palette, 24-bit RGB. "No colour" (do not draw) is an invalid QColor().
inline constexpr QRgb kUiWhite = 0xFFFFFF;        // card fill, secondary button, selected nav item
inline constexpr QRgb kUiBackdrop = 0xF4F6F8;     // default backdrop, nav item, secondary hover
inline constexpr QRgb kUiNavHover = 0xE8ECF0;     // nav item under the pointer
inline constexpr QRgb kUiLine = 0xE1E6EA;         // card border, meter track
inline constexpr QRgb kUiButtonEdge = 0xBBC2C9;   // secondary button border
inline constexpr QRgb kUiDisabledFill = 0xB4BCC4; // disabled primary button
inline constexpr QRgb kUiMuted = 0x8A94A0;        // disabled ink, default pill dot
inline constexpr QRgb kUiNavText = 0x4B5B63;      // unselected nav item text
inline constexpr QRgb kUiNavy = 0x17324A;         // primary fill, secondary ink, selected nav text
inline constexpr QRgb kUiBlue = 0x275478;         // primary hover, link ink, default pill fill
inline constexpr QRgb kUiNavyPressed = 0x0F1F2E;  // primary button held down
inline constexpr QRgb kUiGreen = 0x1F8A4C;        // default meter bar
inline constexpr QRgb kUiOrange = 0xE8762B;       // focus ring, selected nav bar, nav badge

// Call before the QApplication is made. Switches Qt's own device-pixel scaling off
// (QT_ENABLE_HIGHDPI_SCALING=0): the screen's DPI then reaches the program as its logical DPI with a
// device-pixel ratio of 1, and UiScale alone turns design pixels into device pixels. With Qt's
// scaling left on, a 144-DPI screen would report 96 DPI and a ratio of 1.5, and the window would
// lose the design's rounding (half to even) and its 1-pixel lines would fall between pixels.
void PrepareUiScaling();

// The primary screen's logical DPI ÷ 96, never below 1 (the window is never drawn smaller than
// designed); measured once and kept for the life of the process, like the window's layout.
double UiScaleFactor();
// Tests and the picture tool force a factor, since the offscreen platform always reports 96 DPI;
// 0 drops the forced value and the cache, so the next call measures the screen again.
void SetUiScaleFactorForTests(double factor);

// Nearest whole number, ties to the even one (2.5 → 2, 3.5 → 4).
int RoundHalfEven(double value);
// A design size (pixels at 96 DPI) in device pixels: n × UiScaleFactor, ties to even.
int UiScale(int n);
// Places a control at design coordinates, each of the four values through UiScale.
void SetBoundsScaled(QWidget* control, int left, int top, int width, int height);

// Registers the embedded Pretendard Regular, SemiBold and Bold for this process (once) and chooses
// the two faces. Needs a running QGuiApplication.
void LoadUiFonts();
// "Pretendard", or "Malgun Gothic" when Pretendard could not be had.
QString RegularFace();
// "Pretendard SemiBold", or the regular face when that is missing.
QString SemiBoldFace();
// True when the font Qt resolves for the family is that family (letter case ignored), i.e. Qt did
// not substitute another one.
bool FaceInstalled(const QString& name);

struct TUiFaces {
    QString Regular;
    QString SemiBold;
};
// The choice LoadUiFonts makes, given which faces are installed.
TUiFaces ChooseUiFaces(const std::function<bool(const QString&)>& installed);

// A font of `size` points: the semibold face when semi and not bold, else the regular face, bold
// when asked (the regular face in bold selects Pretendard Bold).
QFont UiFont(int size, bool bold = false, bool semi = false);
// The same font and its colour for a control's text (its palette's text colours).
void SetUiFont(QWidget* control, int size, const QColor& colour, bool bold = false, bool semi = false);
// The same font, and a pen of the colour, for what a paint routine writes next.
void SetUiFont(QPainter& painter, int size, const QColor& colour, bool bold = false, bool semi = false);

// A plain-text label in parent at design bounds: transparent, top-left aligned, no automatic
// sizing, "&" shown as itself. The parent owns it.
QLabel* MakeLabel(QWidget* parent, int left, int top, int width, int height, const QString& caption, int size,
                  const QColor& colour, bool bold = false, bool wordWrap = false, bool semi = false);

// A rounded rectangle covering exactly the pixels of rect, whose corners are ellipses `corner`
// device pixels wide and high; a 1-pixel border of `border`, none when border is not valid.
void FillRound(QPainter& painter, const QRect& rect, int corner, const QColor& fill, const QColor& border);

// The colour behind a control: its card's fill, else its parent's background, else #F4F6F8.
QColor BackdropColor(const QWidget* control);

} // namespace pavona
