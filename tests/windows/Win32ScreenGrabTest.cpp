// The scaled grab of the test's display, painted by a full-screen window of the test's own
// with known colour blocks.
#include "Win32TestSupport.h"
#include "platform/win32/Win32Screen.h"
#include "platform/win32/Win32ScreenGrab.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <optional>
#include <sstream>
#include <string>

namespace {

using Platform::Win32::Win32Screen;
using Platform::Win32::Win32ScreenGrab;
using Seam::ScreenRect;

// Five rows of blocks, so that their edges fall inside strips of any usual height: rows
// read in the wrong order within a strip then show another block's colour.
constexpr int COLUMNS = 4;
constexpr int ROWS = 5;
constexpr COLORREF BLOCKS[ROWS][COLUMNS] = {
    {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(255, 255, 255)},
    {RGB(0, 0, 0), RGB(255, 255, 0), RGB(0, 255, 255), RGB(255, 0, 255)},
    {RGB(128, 64, 32), RGB(16, 96, 200), RGB(200, 200, 200), RGB(1, 2, 3)},
    {RGB(250, 128, 114), RGB(46, 139, 87), RGB(75, 0, 130), RGB(255, 215, 0)},
    {RGB(64, 64, 64), RGB(0, 128, 128), RGB(240, 230, 140), RGB(128, 0, 0)},
};

RECT BlockRect(int column, int row, int width, int height) {
    return RECT{column * width / COLUMNS, row * height / ROWS, (column + 1) * width / COLUMNS,
                (row + 1) * height / ROWS};
}

void PaintBlocks(HDC dc, int width, int height) {
    for (int row = 0; row < ROWS; ++row) {
        for (int column = 0; column < COLUMNS; ++column) {
            HBRUSH brush = CreateSolidBrush(BLOCKS[row][column]);
            const RECT block = BlockRect(column, row, width, height);
            FillRect(dc, &block, brush);
            DeleteObject(brush);
        }
    }
}

COLORREF PixelAt(const KestrelMain::Picture& picture, int x, int y) {
    const std::uint8_t* p = picture.Pixels().Row(y) + 3 * x;  // blue, green, red
    return RGB(p[2], p[1], p[0]);
}

std::string Hex(COLORREF colour) {
    std::ostringstream text;
    text << std::hex << "#" << static_cast<int>(GetRValue(colour)) << "/"
         << static_cast<int>(GetGValue(colour)) << "/" << static_cast<int>(GetBValue(colour));
    return text.str();
}

// Where the scaled picture differs from the blocks at each block's centre and at its
// quarter points; empty when it does not.
std::string Mismatches(const KestrelMain::Picture& picture) {
    std::string found;
    for (int row = 0; row < ROWS; ++row) {
        for (int column = 0; column < COLUMNS; ++column) {
            const RECT block = BlockRect(column, row, picture.Width(), picture.Height());
            for (const int quarter : {1, 2, 3}) {
                const int x = block.left + (block.right - block.left) * quarter / 4;
                const int y = block.top + (block.bottom - block.top) * quarter / 4;
                const COLORREF seen = PixelAt(picture, x, y);
                if (seen != BLOCKS[row][column]) {
                    found += "block " + std::to_string(column) + "," + std::to_string(row) +
                             " at " + std::to_string(x) + "," + std::to_string(y) + ": " +
                             Hex(seen) + " for " + Hex(BLOCKS[row][column]) + "; ";
                }
            }
        }
    }
    return found;
}

class Win32ScreenGrabTest : public testing::Test {
  protected:
    void SetUp() override {
        const auto read = Win32Screen().ReadPrimaryScreen();
        ASSERT_TRUE(read.Ok()) << read.Error().Text();
        primary = *read;
    }
    ScreenRect primary;
};

TEST_F(Win32ScreenGrabTest, ScaledPictureShowsEachPaintedBlockInStripsOfAnySize) {
    const Win32Test::ScreenCover blocks(primary.X, primary.Y, primary.Width, primary.Height,
                                        PaintBlocks);
    ASSERT_NE(blocks.Handle(), nullptr);
    // One row at a time, a few rows, and the usual megabyte: each strip boundary falls
    // elsewhere, and every one gives the same picture.
    for (const std::size_t stripBytes :
         {std::size_t{1}, std::size_t{7 * 4 * 1024 + 5}, std::size_t{1} << 20}) {
        Win32ScreenGrab grab(stripBytes);
        std::string mismatches = "no grab";
        const bool shown = Win32Test::WaitUntil([&] {
            auto picture = grab.GrabScaled(primary, 160, 120);
            if (!picture.Ok()) {
                mismatches = picture.Error().Text();
                return false;
            }
            EXPECT_EQ(picture.Value().Width(), 160);
            EXPECT_EQ(picture.Value().Height(), 120);
            EXPECT_EQ(picture.Value().Pixels().BitsPerPixel, 24);
            EXPECT_FALSE(picture.Value().Colors().has_value());
            mismatches = Mismatches(picture.Value());
            return mismatches.empty();
        });
        EXPECT_TRUE(shown) << "strips of " << stripBytes << " bytes: " << mismatches;
    }
}

TEST_F(Win32ScreenGrabTest, RepeatedGrabsOfOtherSizesReuseTheGrabber) {
    const Win32Test::ScreenCover blocks(primary.X, primary.Y, primary.Width, primary.Height,
                                        PaintBlocks);
    ASSERT_NE(blocks.Handle(), nullptr);
    Win32ScreenGrab grab;
    // Enlarged, reduced, and a part of the screen: the kept strip is remade as needed.
    const struct {
        ScreenRect Area;
        int Width;
        int Height;
    } cases[] = {
        {primary, 160, 120}, {primary, primary.Width * 2, primary.Height * 2},
        {primary, 17, 9},    {{0, 0, primary.Width / 2, primary.Height}, 80, 120},
        {primary, 160, 120},
    };
    for (const auto& c : cases) {
        std::string mismatches = "no grab";
        const bool shown = Win32Test::WaitUntil([&] {
            auto picture = grab.GrabScaled(c.Area, c.Width, c.Height);
            if (!picture.Ok()) {
                mismatches = picture.Error().Text();
                return false;
            }
            if (picture.Value().Width() != c.Width || picture.Value().Height() != c.Height) {
                mismatches = "wrong size";
                return false;
            }
            // The left half holds the first two columns of blocks, stretched.
            if (c.Area.Width != primary.Width) {
                const COLORREF seen = PixelAt(picture.Value(), c.Width / 4, c.Height / 6);
                mismatches = seen == BLOCKS[0][0] ? "" : Hex(seen);
                return mismatches.empty();
            }
            mismatches = c.Width >= 16 && c.Height >= 20 ? Mismatches(picture.Value()) : "";
            return mismatches.empty();
        });
        EXPECT_TRUE(shown) << c.Width << " x " << c.Height << ": " << mismatches;
    }
}

TEST_F(Win32ScreenGrabTest, ImpossibleSizesAreFailuresNotCrashes) {
    Win32ScreenGrab grab;
    const auto noWidth = grab.GrabScaled(primary, 0, 120);
    ASSERT_FALSE(noWidth.Ok());
    EXPECT_EQ(noWidth.Error().What, "Cannot make a picture of 0 x 120 pixels");
    const auto noArea = grab.GrabScaled(ScreenRect{0, 0, 0, 0}, 160, 120);
    ASSERT_FALSE(noArea.Ok());
    EXPECT_EQ(noArea.Error().What, "Cannot read the screen");
    // And the grabber still works afterwards.
    EXPECT_TRUE(grab.GrabScaled(primary, 16, 12).Ok());
}

// The resolution switched between captures, as Wine's virtual desktop can (this test runs
// in one of 1024 x 768, registered on its own): each capture reads the primary monitor as it
// is then, and the grab kept for the run shows the whole new screen, the pointer measured
// against it.
TEST(DisplayModes, EachCaptureFollowsAResolutionChange) {
    const struct {
        int Width;
        int Height;
    } modes[] = {{800, 600}, {1024, 768}, {640, 480}};
    Win32Screen screen;
    Win32ScreenGrab grab;
    for (const auto& mode : modes) {
        SCOPED_TRACE(std::to_string(mode.Width) + " x " + std::to_string(mode.Height));
        DEVMODEW wanted{};
        wanted.dmSize = sizeof wanted;
        wanted.dmPelsWidth = static_cast<DWORD>(mode.Width);
        wanted.dmPelsHeight = static_cast<DWORD>(mode.Height);
        wanted.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
        ASSERT_EQ(ChangeDisplaySettingsExW(nullptr, &wanted, nullptr, CDS_FULLSCREEN, nullptr),
                  DISP_CHANGE_SUCCESSFUL);
        const auto primary = screen.ReadPrimaryScreen();
        ASSERT_TRUE(primary.Ok()) << primary.Error().Text();
        EXPECT_EQ(primary.Value(), (ScreenRect{0, 0, mode.Width, mode.Height}));

        // Wine reads the pointer back from the X server, which may warp it a little after
        // the mode change.
        ASSERT_TRUE(SetCursorPos(mode.Width - 1, mode.Height / 2));
        std::optional<Seam::PointerPosition> at;
        Win32Test::WaitUntil([&] {
            const auto pointer = screen.ReadPointer(primary.Value());
            at = pointer.Ok() ? pointer.Value().Position : std::nullopt;
            return at && at->X == mode.Width - 1 && at->Y == mode.Height / 2;
        });
        ASSERT_TRUE(at);
        EXPECT_EQ(at->X, mode.Width - 1);
        EXPECT_EQ(at->Y, mode.Height / 2);

        const Win32Test::ScreenCover blocks(0, 0, mode.Width, mode.Height, PaintBlocks);
        std::string mismatches = "no grab";
        EXPECT_TRUE(Win32Test::WaitUntil([&] {
            auto picture = grab.GrabScaled(primary.Value(), 160, 120);
            mismatches = picture.Ok() ? Mismatches(picture.Value()) : picture.Error().Text();
            return mismatches.empty();
        })) << mismatches;
        // Back to a corner every mode has: Wine warps the X pointer only from inside its
        // desktop window, so one left beyond a shrunk desktop's edge would stay there.
        SetCursorPos(0, 0);
    }
    ChangeDisplaySettingsExW(nullptr, nullptr, nullptr, 0, nullptr);
}

}  // namespace
