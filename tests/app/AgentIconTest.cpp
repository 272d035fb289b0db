// The tray images' pixels for every level, and the PNG export read back with libpng.
#include "app/AgentIcon.h"

#include "platform/Platform.h"
#include "tests/support/TestSupport.h"

#include <png.h>

#include <vector>

namespace pavona {
namespace {

constexpr std::uint32_t kBackground = 0xFFF2F4F0u;
constexpr TLimitLevel kAllLevels[] = {TLimitLevel::Unknown,  TLimitLevel::Normal,    TLimitLevel::Caution,
                                      TLimitLevel::Imminent, TLimitLevel::Exhausted, TLimitLevel::Disabled};

// The colour of ring i (the outline at distance i from the edge) when the whole ring has one
// colour, else 0.
std::uint32_t RingColor(const TTrayImage& img, int i) {
    const int last = kTrayIconSize - 1 - i;
    const std::uint32_t c = img.At(i, i);
    for (int k = i; k <= last; ++k)
        if (img.At(k, i) != c || img.At(k, last) != c || img.At(i, k) != c || img.At(last, k) != c) return 0;
    return c;
}

// How many pixels of ring i have the colour.
int RingCount(const TTrayImage& img, int i, std::uint32_t color) {
    const int last = kTrayIconSize - 1 - i;
    int n = 0;
    for (int y = i; y <= last; ++y)
        for (int x = i; x <= last; ++x)
            if ((x == i || x == last || y == i || y == last) && img.At(x, y) == color) ++n;
    return n;
}

TEST(AgentIcon, FramesFollowTheLevel) {
    struct Case {
        TLimitLevel level;
        std::uint32_t frame;
        int width;
    };
    const Case cases[] = {
        {TLimitLevel::Unknown, 0xFF909090u, 1},
        {TLimitLevel::Normal, kBackground, 0},
        {TLimitLevel::Caution, 0xFFFFA500u, 2},
        {TLimitLevel::Imminent, 0xFFC00000u, 2},
        {TLimitLevel::Exhausted, 0xFFC00000u, 2},
        {TLimitLevel::Disabled, 0xFFC00000u, 2},
        // A value the enumeration does not have is drawn as unknown.
        {static_cast<TLimitLevel>(42), 0xFF909090u, 1},
        {static_cast<TLimitLevel>(-1), 0xFF909090u, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.level));
        const TTrayImage img = MakeTrayIcon(c.level);
        for (int ring = 0; ring < c.width; ++ring)
            EXPECT_EQ(RingColor(img, ring), c.frame) << "ring " << ring;
        // Inside the frame the outer margin is plain background, and nothing of the frame colour
        // reaches the ring just inside it (for a 2-pixel frame that ring runs through the squares).
        for (int ring = c.width; ring < 2; ++ring)
            EXPECT_EQ(RingColor(img, ring), kBackground) << "ring " << ring;
        if (c.width > 0) {
            EXPECT_EQ(RingCount(img, c.width, c.frame), 0) << "ring " << c.width;
        }
        EXPECT_EQ(TrayFrameStyle(c.level).Width, c.width);
    }
    EXPECT_EQ(MakeTrayIcon(TLimitLevel::Imminent).Pixels, MakeTrayIcon(TLimitLevel::Exhausted).Pixels);
    EXPECT_EQ(MakeTrayIcon(TLimitLevel::Imminent).Pixels, MakeTrayIcon(TLimitLevel::Disabled).Pixels);
    EXPECT_NE(MakeTrayIcon(TLimitLevel::Caution).Pixels, MakeTrayIcon(TLimitLevel::Imminent).Pixels);
    EXPECT_EQ(MakeTrayIcon(static_cast<TLimitLevel>(42)).Pixels, MakeTrayIcon(TLimitLevel::Unknown).Pixels);
}

TEST(AgentIcon, SquaresSitInTheirPlacesWithMarginAndGap) {
    struct Square {
        int x1, y1;
        std::uint32_t color;
    };
    const Square squares[] = {
        {2, 2, 0xFF15593Cu}, {9, 2, 0xFFC8102Eu}, {2, 9, 0xFF8EAE9Fu}, {9, 9, 0xFF15593Cu}};
    for (TLimitLevel level : kAllLevels) {
        const TTrayImage img = MakeTrayIcon(level);
        const int frame = TrayFrameStyle(level).Width;
        for (int y = 0; y < kTrayIconSize; ++y)
            for (int x = 0; x < kTrayIconSize; ++x) {
                std::uint32_t want = kBackground;
                for (const Square& s : squares)
                    if (x >= s.x1 && x < s.x1 + 5 && y >= s.y1 && y < s.y1 + 5) want = s.color;
                const int ring = std::min(std::min(x, y), std::min(15 - x, 15 - y));
                if (ring < frame) want = TrayFrameStyle(level).Color;
                ASSERT_EQ(img.At(x, y), want)
                    << "level " << static_cast<int>(level) << " at " << x << "," << y;
            }
    }
}

struct TDecoded {
    bool Ok = false;
    png_uint_32 Width = 0, Height = 0, Format = 0;
    std::vector<std::uint32_t> Argb;
};

TDecoded ReadPng(const std::string& path) {
    TDecoded out;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return out;
    out.Width = image.width;
    out.Height = image.height;
    out.Format = image.format;
    image.format = PNG_FORMAT_RGBA;
    std::vector<png_byte> rgba(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr)) return out;
    for (size_t i = 0; i + 3 < rgba.size(); i += 4)
        out.Argb.push_back(std::uint32_t(rgba[i + 3]) << 24 | std::uint32_t(rgba[i]) << 16 |
                           std::uint32_t(rgba[i + 1]) << 8 | rgba[i + 2]);
    out.Ok = true;
    return out;
}

TEST(AgentIcon, ExportWritesSixPngsIntoANewNestedFolderAndOverwrites) {
    test::TempDir tmp;
    const std::string dir = tmp.File("docs/images/tray");
    // A stale file of the same name must be replaced, not appended to or kept.
    test::WriteFile(dir + "/tray-normal.png", std::string(5000, 'z'));
    ASSERT_TRUE(ExportTrayIcons(dir));

    const char* names[] = {"unknown", "normal", "caution", "imminent", "exhausted", "disabled"};
    std::vector<std::string> files;
    ASSERT_TRUE(platform::ListFiles(dir, files));
    EXPECT_EQ(files.size(), 6u);
    for (size_t i = 0; i < std::size(names); ++i) {
        SCOPED_TRACE(names[i]);
        const TDecoded png = ReadPng(dir + "/tray-" + names[i] + ".png");
        ASSERT_TRUE(png.Ok);
        EXPECT_EQ(png.Width, 16u);
        EXPECT_EQ(png.Height, 16u);
        EXPECT_EQ(png.Format, png_uint_32(PNG_FORMAT_RGBA));
        const TTrayImage want = MakeTrayIcon(kAllLevels[i]);
        EXPECT_EQ(png.Argb, std::vector<std::uint32_t>(want.Pixels.begin(), want.Pixels.end()));
    }
}

TEST(AgentIcon, ExportFailsWhereTheFolderCannotBeMade) {
    test::TempDir tmp;
    test::WriteFile(tmp.File("taken"), "a file, not a folder");
    EXPECT_FALSE(ExportTrayIcons(tmp.File("taken/icons")));
    EXPECT_FALSE(ExportTrayIcons(""));
    // A folder standing where one image must go fails the export, the others are still written.
    ASSERT_TRUE(platform::MakeDirs(tmp.File("out/tray-caution.png")));
    EXPECT_FALSE(ExportTrayIcons(tmp.File("out")));
    EXPECT_TRUE(ReadPng(tmp.File("out/tray-disabled.png")).Ok);
}

} // namespace
} // namespace pavona
