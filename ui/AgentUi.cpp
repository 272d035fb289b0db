// Scale, typefaces and helpers of the window. Everything here runs on the GUI thread, which is the
// only thread that may touch fonts and widgets.
#include "ui/AgentUi.h"

#include "ui/UiControls.h"

#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace pavona {
namespace {

// Module state: the scale factor (0 until measured), the DPI that turns points into pixels, and the
// faces chosen by LoadUiFonts (empty until then).
double gScaleFactor = 0;
double gFontDpi = 0;
bool gFontsLoaded = false;
QString gRegularFace;
QString gSemiBoldFace;

const char* const kPretendard = "Pretendard";
const char* const kPretendardSemiBold = "Pretendard SemiBold";
const char* const kFallbackFace = "Malgun Gothic";

// The typefaces in the order they are registered. A Windows build would find them as numbered data
// resources; Qt names its resources by path.
const char* const kFontResources[] = {":/fonts/Pretendard-Regular.otf", ":/fonts/Pretendard-SemiBold.otf",
                                      ":/fonts/Pretendard-Bold.otf"};

void MeasureScreen() {
    if (gScaleFactor > 0) return;
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return; // no application yet: design size, and the next call measures again
    gFontDpi = screen->logicalDotsPerInch();
    gScaleFactor = std::max(1.0, gFontDpi / 96.0);
}

// A point size as the pixel height of the em, rounded like Windows' MulDiv(points, dpi, 72). Fonts
// are sized in pixels once, not in points, so a text has the same size on the screen and in a grab
// or pixmap, and a forced scale factor sizes them as a screen of that DPI would. Below 96 DPI the
// text follows the screen while the controls stay at design size, as a Windows screen font does.
int FontPixels(int points) {
    MeasureScreen();
    const double dpi = gFontDpi > 0 ? gFontDpi : 96.0;
    return std::max(1, static_cast<int>(std::floor(points * dpi / 72.0 + 0.5)));
}

} // namespace

void PrepareUiScaling() {
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
}

double UiScaleFactor() {
    MeasureScreen();
    return gScaleFactor > 0 ? gScaleFactor : 1.0;
}

void SetUiScaleFactorForTests(double factor) {
    gScaleFactor = factor > 0 ? factor : 0;
    gFontDpi = factor > 0 ? 96.0 * factor : 0;
}

int RoundHalfEven(double value) {
    const double below = std::floor(value);
    const double rest = value - below;
    if (rest > 0.5) return static_cast<int>(below) + 1;
    if (rest < 0.5) return static_cast<int>(below);
    return std::fmod(below, 2.0) == 0 ? static_cast<int>(below) : static_cast<int>(below) + 1;
}

int UiScale(int n) {
    return RoundHalfEven(n * UiScaleFactor());
}

void SetBoundsScaled(QWidget* control, int left, int top, int width, int height) {
    control->setGeometry(UiScale(left), UiScale(top), UiScale(width), UiScale(height));
}

TUiFaces ChooseUiFaces(const std::function<bool(const QString&)>& installed) {
    TUiFaces faces;
    faces.Regular = installed(kPretendard) ? kPretendard : kFallbackFace;
    faces.SemiBold =
        faces.Regular == kPretendard && installed(kPretendardSemiBold) ? kPretendardSemiBold : faces.Regular;
    return faces;
}

void LoadUiFonts() {
    if (gFontsLoaded) return;
    gFontsLoaded = true;
    for (const char* path : kFontResources) {
        // Registered for this process only, from the bytes compiled into the program; a missing or
        // empty resource is skipped and the faces below fall back without a message.
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) continue;
        const QByteArray data = file.readAll();
        if (!data.isEmpty()) QFontDatabase::addApplicationFontFromData(data);
    }
    const TUiFaces faces = ChooseUiFaces(FaceInstalled);
    gRegularFace = faces.Regular;
    gSemiBoldFace = faces.SemiBold;
}

QString RegularFace() {
    if (gRegularFace.isEmpty()) LoadUiFonts();
    return gRegularFace;
}

QString SemiBoldFace() {
    if (gSemiBoldFace.isEmpty()) LoadUiFonts();
    return gSemiBoldFace;
}

bool FaceInstalled(const QString& name) {
    // Qt, like the Windows font mapper, hands back another family when the one asked for is not
    // there; only the family it really chose tells whether this one is installed.
    QFont font(name);
    font.setPixelSize(14);
    font.setWeight(QFont::Normal);
    return QFontInfo(font).family().compare(name, Qt::CaseInsensitive) == 0;
}

QFont UiFont(int size, bool bold, bool semi) {
    QFont font(semi && !bold ? SemiBoldFace() : RegularFace());
    font.setPixelSize(FontPixels(size));
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    // The Windows program asks for ClearType; Qt smooths text the platform's way (subpixel where the
    // screen has it), and this keeps it from ever choosing unsmoothed glyphs.
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

void SetUiFont(QWidget* control, int size, const QColor& colour, bool bold, bool semi) {
    control->setFont(UiFont(size, bold, semi));
    QPalette palette = control->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Text, colour);
    control->setPalette(palette);
}

void SetUiFont(QPainter& painter, int size, const QColor& colour, bool bold, bool semi) {
    painter.setFont(UiFont(size, bold, semi));
    painter.setPen(colour);
}

QLabel* MakeLabel(QWidget* parent, int left, int top, int width, int height, const QString& caption, int size,
                  const QColor& colour, bool bold, bool wordWrap, bool semi) {
    auto* label = new QLabel(parent);
    // Plain text and no buddy: "&" and "<" are shown as written, never as a mnemonic or markup.
    label->setTextFormat(Qt::PlainText);
    label->setAutoFillBackground(false);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(wordWrap);
    SetBoundsScaled(label, left, top, width, height);
    SetUiFont(label, size, colour, bold, semi);
    label->setText(caption);
    return label;
}

void FillRound(QPainter& painter, const QRect& rect, int corner, const QColor& fill, const QColor& border) {
    // Windows' RoundRect with a 1-pixel pen covers the pixels from Left to Right − 1; the fill spans
    // exactly that area and the border is stroked half a pixel inside it, so straight edges land on
    // whole pixels and only the rounded corners are smoothed.
    const QRectF area(rect);
    const double radius = corner / 2.0;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(area, radius, radius);
    if (border.isValid()) {
        painter.setPen(QPen(border, 1));
        painter.setBrush(Qt::NoBrush);
        const double inner = std::max(0.0, radius - 0.5);
        painter.drawRoundedRect(area.adjusted(0.5, 0.5, -0.5, -0.5), inner, inner);
    }
    painter.restore();
}

QColor BackdropColor(const QWidget* control) {
    const QWidget* parent = control->parentWidget();
    if (const auto* card = qobject_cast<const TUiCard*>(parent)) return card->Fill();
    // A panel's colour is the colour of its background role, which it fills itself with.
    if (parent != nullptr) return parent->palette().color(parent->backgroundRole());
    return QColor(kUiBackdrop);
}

} // namespace pavona
