// The Qt tray images against the engine's pixels, on the offscreen platform.
#include "ui/TrayIcon.h"

#include "app/AgentIcon.h"

#include <QApplication>
#include <gtest/gtest.h>

namespace pavona {
namespace {

TEST(TrayIcon, QtPixelsMatchTheEnginesForEveryLevel) {
    int argc = 1;
    char name[] = "test_tray_icon";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);

    const TLimitLevel levels[] = {TLimitLevel::Unknown,       TLimitLevel::Normal,    TLimitLevel::Caution,
                                  TLimitLevel::Imminent,      TLimitLevel::Exhausted, TLimitLevel::Disabled,
                                  static_cast<TLimitLevel>(9)};
    for (TLimitLevel level : levels) {
        SCOPED_TRACE(static_cast<int>(level));
        const TTrayImage want = MakeTrayIcon(level);
        const QImage img = TrayImageFor(level);
        ASSERT_EQ(img.size(), QSize(16, 16));
        ASSERT_TRUE(img.hasAlphaChannel());
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                ASSERT_EQ(img.pixel(x, y), want.At(x, y)) << x << "," << y;

        // The icon hands the same pixels to the tray at its natural size.
        const QIcon icon = TrayIconFor(level);
        ASSERT_FALSE(icon.isNull());
        const QImage back = icon.pixmap(QSize(16, 16)).toImage().convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(back.size(), QSize(16, 16));
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                ASSERT_EQ(back.pixel(x, y), want.At(x, y)) << x << "," << y;
    }
    // Spot checks in the colours a person would name: the caution frame is orange, the normal
    // image's corner is the background.
    EXPECT_EQ(TrayImageFor(TLimitLevel::Caution).pixelColor(0, 0), QColor(0xFF, 0xA5, 0x00));
    EXPECT_EQ(TrayImageFor(TLimitLevel::Normal).pixelColor(15, 15), QColor(0xF2, 0xF4, 0xF0));
    EXPECT_EQ(TrayImageFor(TLimitLevel::Normal).pixelColor(3, 3), QColor(0x15, 0x59, 0x3C));
}

} // namespace
} // namespace pavona
