// The scaled grab on private X servers of several sizes and depths, driven through an
// XCB connection of the test's own, and the saved BMP read back independently.
#include "core/Bmp.h"
#include "core/Picture.h"
#include "platform/posix/PosixFileSystem.h"
#include "platform/x11/X11Screen.h"
#include "platform/x11/X11ScreenGrab.h"
#include "support/ScreenPainter.h"
#include "support/XInput.h"
#include "support/Xvfb.h"
#include "testkit/AreaReference.h"
#include "testkit/BmpReader.h"
#include "testkit/ScratchFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include <xcb/xcb.h>

namespace {

namespace fs = std::filesystem;
using namespace TestSupport;
using namespace TestKit;
using Platform::X11::X11Connection;
using Platform::X11::X11GrabOptions;
using Platform::X11::X11Screen;
using Platform::X11::X11ScreenGrab;

// A server of the given size and depth with a painter and a grabber on it.
struct Screen {
    explicit Screen(int width, int height, int depth = 24)
        : Server(XvfbOptions{width, height, depth, {}}), Painter(Server.Display()) {}
    XvfbServer Server;
    ScreenPainter Painter;
};

// The painter's connection, as the program's backend holds Qt's.
X11Connection X11Of(const ScreenPainter& painter) {
    return X11Connection(painter.Connection(), painter.Screen());
}

BmpImage Unread(const std::string& why) {
    BmpImage image;
    image.Error = why;
    return image;
}

BmpImage GrabAndSave(ScreenPainter& painter, const Seam::ScreenRect& area, int width, int height,
                     X11GrabOptions options = {}) {
    X11ScreenGrab grab(X11Of(painter), options);
    auto picture = grab.GrabScaled(area, width, height);
    if (!picture)
        return Unread(picture.Error().Text());
    ScratchFolder dir("kestrel-grab");
    const fs::path file = dir.Path() / "grab.bmp";
    Platform::Posix::PosixFileSystem files;
    if (auto failed = KestrelMain::SavePictureAsBmp(*picture, file, files))
        return Unread(failed->Text());
    return ReadBmp(file);
}

Seam::ScreenRect Whole(const ScreenPainter& painter) {
    return Seam::ScreenRect{0, 0, painter.Width(), painter.Height()};
}

// Sixteen distinct colours in a 4 x 4 grid over the screen.
Rgb BlockColour(int column, int row) {
    const int n = row * 4 + column;
    return Rgb{static_cast<std::uint8_t>(n * 16 + 8), static_cast<std::uint8_t>(255 - n * 13),
               static_cast<std::uint8_t>((n * 97) % 256)};
}

void PaintBlocks(ScreenPainter& painter) {
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            const int left = painter.Width() * column / 4;
            const int top = painter.Height() * row / 4;
            painter.Fill(left, top, painter.Width() * (column + 1) / 4 - left,
                         painter.Height() * (row + 1) / 4 - top, BlockColour(column, row));
        }
    }
}

// Every output pixel more than two pixels away from a block edge has its block's colour,
// and every block is there: nothing cropped, nothing letter-boxed.
void ExpectBlocks(const BmpImage& bmp, ScreenPainter& painter, int width, int height) {
    ASSERT_TRUE(bmp.Ok()) << bmp.Error;
    ASSERT_EQ(bmp.Width, width);
    ASSERT_EQ(bmp.Height, height);
    int wrong = 0;
    int checked = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int column = x * 4 / width;
            const int row = y * 4 / height;
            const double fx = (x + 0.5) * 4.0 / width;
            const double fy = (y + 0.5) * 4.0 / height;
            const double edgeX = std::abs(fx - std::round(fx)) * width / 4.0;
            const double edgeY = std::abs(fy - std::round(fy)) * height / 4.0;
            if (edgeX < 2.0 || edgeY < 2.0)
                continue;
            ++checked;
            const Rgb expected = painter.Shown(BlockColour(column, row));
            if (bmp.At(x, y) != expected && ++wrong <= 5) {
                ADD_FAILURE() << "pixel " << x << "," << y << " is " << int(bmp.At(x, y).Red) << ","
                              << int(bmp.At(x, y).Green) << "," << int(bmp.At(x, y).Blue)
                              << ", block " << column << "," << row << " is " << int(expected.Red)
                              << "," << int(expected.Green) << "," << int(expected.Blue);
            }
        }
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(checked, width * height / 2);
}

struct BlockCase {
    int ScreenWidth, ScreenHeight, Width, Height;
};

std::string BlockCaseName(const testing::TestParamInfo<BlockCase>& test) {
    const BlockCase& c = test.param;
    return "Screen" + std::to_string(c.ScreenWidth) + "x" + std::to_string(c.ScreenHeight) + "To" +
           std::to_string(c.Width) + "x" + std::to_string(c.Height);
}

class GrabBlocks : public testing::TestWithParam<BlockCase> {};

TEST_P(GrabBlocks, EachBlockLandsWhereTheScalingPutsIt) {
    const BlockCase c = GetParam();
    Screen screen(c.ScreenWidth, c.ScreenHeight);
    PaintBlocks(screen.Painter);
    const BmpImage bmp = GrabAndSave(screen.Painter, Whole(screen.Painter), c.Width, c.Height);
    EXPECT_EQ(bmp.BitsPerPixel, 24);
    ExpectBlocks(bmp, screen.Painter, c.Width, c.Height);
}

INSTANTIATE_TEST_SUITE_P(Sizes, GrabBlocks,
                         testing::Values(BlockCase{1024, 768, 800, 600},
                                         BlockCase{1920, 1080, 640, 480},
                                         BlockCase{1024, 768, 1600, 1300},  // enlarged
                                         BlockCase{1024, 768, 1000, 200},   // another aspect
                                         BlockCase{640, 480, 640, 480}),
                         BlockCaseName);

// A busy picture: noise over gradients, so every output pixel averages different values.
Rgb Busy(int x, int y) {
    const unsigned h = static_cast<unsigned>(x) * 2654435761u ^ static_cast<unsigned>(y) * 40503u;
    return Rgb{static_cast<std::uint8_t>((h >> 7) ^ static_cast<unsigned>(x)),
               static_cast<std::uint8_t>((h >> 15) + static_cast<unsigned>(y)),
               static_cast<std::uint8_t>(h >> 23)};
}

// The PSNR against the exact area average of the screen as read in full.
double Psnr(const BmpImage& bmp, const std::vector<Rgb>& screen, int width, int height) {
    TestKit::ExactAreaAverage reference(width, height, bmp.Width, bmp.Height);
    std::vector<std::uint32_t> row(static_cast<std::size_t>(width));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Rgb& p = screen[static_cast<std::size_t>(y) * width + x];
            row[static_cast<std::size_t>(x)] = std::uint32_t{p.Red} << 16 | p.Green << 8 | p.Blue;
        }
        reference.AddRow(y, row.data());
    }
    return TestKit::Compare(bmp, reference).PsnrUnrounded;
}

TEST(GrabQuality, TheAreaAverageMatchesAnExactReferenceAtEverySize) {
    const std::pair<int, int> screens[] = {{1024, 768}, {1920, 1080}, {3840, 2160}};
    for (const auto& [width, height] : screens) {
        Screen screen(width, height);
        screen.Painter.Paint(Busy);
        const std::vector<Rgb> full = screen.Painter.ReadScreen();
        for (const auto& [outWidth, outHeight] : {std::pair{800, 600}, std::pair{801, 601}}) {
            const BmpImage bmp =
                GrabAndSave(screen.Painter, Whole(screen.Painter), outWidth, outHeight);
            ASSERT_TRUE(bmp.Ok()) << bmp.Error;
            ASSERT_EQ(bmp.Width, outWidth);
            ASSERT_EQ(bmp.Height, outHeight);
            const double psnr = Psnr(bmp, full, width, height);
            std::printf("PSNR %dx%d to %dx%d: %.1f dB\n", width, height, outWidth, outHeight, psnr);
            EXPECT_GE(psnr, 50.0) << width << "x" << height << " to " << outWidth << "x"
                                  << outHeight;
        }
    }
}

TEST(GrabQuality, OnePixelLinesReducedFourPointEightTimesStayMidGrey) {
    Screen screen(1920, 1080);
    for (bool across : {true, false}) {
        screen.Painter.Paint([across](int x, int y) {
            const std::uint8_t v = ((across ? y : x) % 2 == 0) ? 255 : 0;
            return Rgb{v, v, v};
        });
        const BmpImage bmp = GrabAndSave(screen.Painter, Whole(screen.Painter), 400, 225);
        ASSERT_TRUE(bmp.Ok()) << bmp.Error;
        double worst = 0;
        for (const Rgb& p : bmp.Pixels) {
            for (int v : {p.Red, p.Green, p.Blue})
                worst = std::max(worst, std::abs(v - 127.5) / 255.0);
        }
        EXPECT_LE(worst, 0.12) << (across ? "lines across" : "lines down");
    }
}

TEST(GrabPaths, SharedMemoryPlainReadsAndAnyStripHeightGiveTheSamePicture) {
    Screen screen(1920, 1080);
    screen.Painter.Paint(Busy);
    auto grab = [&](X11GrabOptions options) {
        X11ScreenGrab grabber(X11Of(screen.Painter), options);
        auto image = grabber.GrabScaled(Whole(screen.Painter), 801, 601);
        EXPECT_TRUE(image.Ok());
        EXPECT_EQ(grabber.UsedSharedMemory(), options.UseSharedMemory);
        const KestrelMain::Bitmap& b = image.Value().Pixels();
        return std::vector<std::uint8_t>(b.Pixels.get(), b.Pixels.get() + b.ByteCount());
    };
    const auto shared = grab({});
    EXPECT_EQ(grab({false, std::size_t{1} << 20}), shared);
    EXPECT_EQ(grab({true, 1}), shared);              // one row per strip
    EXPECT_EQ(grab({false, 3 * 1920 * 4}), shared);  // three rows per strip
    EXPECT_EQ(grab({true, 64 << 20}), shared);       // the whole screen in one strip
}

TEST(GrabPaths, EachGrabSeesTheScreenAsItIsNow) {
    Screen screen(1024, 768);
    X11ScreenGrab grabber(X11Of(screen.Painter));
    for (const Rgb colour : {Rgb{255, 0, 0}, Rgb{0, 255, 0}, Rgb{10, 20, 30}}) {
        screen.Painter.Fill(0, 0, 1024, 768, colour);
        auto image = grabber.GrabScaled(Whole(screen.Painter), 800, 600);
        ASSERT_TRUE(image.Ok());
        const std::uint8_t* pixel = image.Value().Pixels().Row(300) + 3 * 400;
        EXPECT_EQ((Rgb{pixel[2], pixel[1], pixel[0]}), colour);
    }
}

TEST(GrabPaths, ImpossibleRequestsFailWithAReason) {
    Screen screen(640, 480);
    X11ScreenGrab grabber(X11Of(screen.Painter));
    for (const auto& [area, width, height] :
         {std::tuple{Seam::ScreenRect{0, 0, 640, 480}, 0, 600},
          std::tuple{Seam::ScreenRect{0, 0, 640, 480}, 800, -600},
          std::tuple{Seam::ScreenRect{600, 0, 100, 100}, 80, 60},
          std::tuple{Seam::ScreenRect{-1, 0, 100, 100}, 80, 60}}) {
        const auto image = grabber.GrabScaled(area, width, height);
        ASSERT_FALSE(image.Ok());
        EXPECT_FALSE(image.Error().Reason.empty()) << image.Error().Text();
    }
    // And a good request afterwards still works.
    EXPECT_TRUE(grabber.GrabScaled(Whole(screen.Painter), 320, 240).Ok());
}

// ---- other depths --------------------------------------------------------------------

TEST(GrabDepths, APaletteScreenGivesAn8BitFileWithTheColormapAsItsPalette) {
    Screen screen(1024, 768, 8);
    ASSERT_TRUE(screen.Painter.Palette());
    PaintBlocks(screen.Painter);
    const BmpImage bmp = GrabAndSave(screen.Painter, Whole(screen.Painter), 800, 600);
    ASSERT_TRUE(bmp.Ok()) << bmp.Error;
    EXPECT_EQ(bmp.BitsPerPixel, 8);
    ASSERT_EQ(bmp.Palette.size(), 256u);

    std::vector<std::uint32_t> indices(256);
    for (std::uint32_t i = 0; i < 256; ++i) indices[i] = i;
    xcb_connection_t* c = screen.Painter.Connection();
    xcb_query_colors_reply_t* colours = xcb_query_colors_reply(
        c, xcb_query_colors(c, screen.Painter.Screen()->default_colormap, 256, indices.data()),
        nullptr);
    ASSERT_NE(colours, nullptr);
    const xcb_rgb_t* rgb = xcb_query_colors_colors(colours);
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(bmp.Palette[static_cast<std::size_t>(i)],
                  (Rgb{static_cast<std::uint8_t>(rgb[i].red >> 8),
                       static_cast<std::uint8_t>(rgb[i].green >> 8),
                       static_cast<std::uint8_t>(rgb[i].blue >> 8)}))
            << "entry " << i;
    }
    std::free(colours);
    ExpectBlocks(bmp, screen.Painter, 800, 600);
    EXPECT_EQ(bmp.RawAt(50, 50), screen.Painter.PixelOf(BlockColour(0, 0)));
}

TEST(GrabDepths, SixteenAndFifteenBitScreensKeepTheirOwnDepth) {
    for (int depth : {16, 15}) {
        Screen screen(1024, 768, depth);
        PaintBlocks(screen.Painter);
        const BmpImage bmp = GrabAndSave(screen.Painter, Whole(screen.Painter), 800, 600);
        ASSERT_TRUE(bmp.Ok()) << bmp.Error;
        EXPECT_EQ(bmp.BitsPerPixel, 16) << depth;
        EXPECT_EQ(bmp.RedMask, screen.Painter.RedMask());
        EXPECT_EQ(bmp.GreenMask, screen.Painter.GreenMask());
        EXPECT_EQ(bmp.BlueMask, screen.Painter.BlueMask());
        EXPECT_EQ(bmp.Compression, depth == 16 ? 3u : 0u);
        ExpectBlocks(bmp, screen.Painter, 800, 600);
        // The screen's own pixel values, bit for bit.
        EXPECT_EQ(bmp.RawAt(50, 50), screen.Painter.PixelOf(BlockColour(0, 0)));
        EXPECT_EQ(bmp.RawAt(750, 550), screen.Painter.PixelOf(BlockColour(3, 3)));
    }
}

// ---- monitors ------------------------------------------------------------------------

bool Xrandr(const std::string& display, const std::string& arguments) {
    return std::system(
               ("xrandr -display " + display + " " + arguments + " >/dev/null 2>&1").c_str()) == 0;
}

TEST(GrabMonitors, OnlyThePrimaryMonitorIsGrabbedAndThePointerIsRelativeToIt) {
    Screen screen(2048, 768);
    const std::string display = screen.Server.Display();
    ASSERT_TRUE(Xrandr(display, "--setmonitor left 1024/270x768/203+0+0 none"));
    ASSERT_TRUE(Xrandr(display, "--setmonitor '*right' 1024/270x768/203+1024+0 none"));
    screen.Painter.Fill(0, 0, 1024, 768, Rgb{255, 0, 0});
    screen.Painter.Fill(1024, 0, 1024, 768, Rgb{0, 0, 255});

    X11Screen monitors(X11Of(screen.Painter));
    const auto primary = monitors.ReadPrimaryScreen();
    ASSERT_TRUE(primary.Ok());
    EXPECT_EQ(*primary, (Seam::ScreenRect{1024, 0, 1024, 768}));
    const BmpImage bmp = GrabAndSave(screen.Painter, *primary, 800, 600);
    ASSERT_TRUE(bmp.Ok()) << bmp.Error;
    for (const Rgb& p : bmp.Pixels) ASSERT_EQ(p, (Rgb{0, 0, 255}));

    XInput input(display);
    for (const auto& [x, y, relativeX] :
         {std::tuple{100, 300, -924}, std::tuple{1024, 0, 0}, std::tuple{2047, 767, 1023}}) {
        input.MovePointer(x, y);
        input.Sync();
        const auto pointer = monitors.ReadPointer(*primary);
        ASSERT_TRUE(pointer.Ok() && (*pointer).Position);
        EXPECT_EQ((*pointer).Position->X, relativeX);
        EXPECT_EQ((*pointer).Position->Y, y);
    }
}

TEST(GrabMonitors, WithoutAPrimaryTheFirstMonitorCountsAndWithoutMonitorsTheRoot) {
    Screen screen(2048, 768);
    // Xvfb's own monitor covers the whole root window and is not marked primary.
    X11Screen monitors(X11Of(screen.Painter));
    auto rect = monitors.ReadPrimaryScreen();
    ASSERT_TRUE(rect.Ok());
    EXPECT_EQ(*rect, (Seam::ScreenRect{0, 0, 2048, 768}));
    ASSERT_TRUE(
        Xrandr(screen.Server.Display(), "--setmonitor '*half' 1024/270x700/203+512+68 none"));
    rect = monitors.ReadPrimaryScreen();
    ASSERT_TRUE(rect.Ok());
    EXPECT_EQ(*rect, (Seam::ScreenRect{512, 68, 1024, 700}));
}

}  // namespace
