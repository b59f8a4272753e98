// The scaled grab of a 256-colour palette display (an 8-bit Xvfb, run by
// run-on-palette-display.sh): the picture holds the system palette's indices, scaled by
// nearest neighbour, and that palette.
#include "Win32TestSupport.h"
#include "platform/win32/Win32Screen.h"
#include "platform/win32/Win32ScreenGrab.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <string>
#include <vector>

namespace {

using Platform::Win32::Win32Screen;
using Platform::Win32::Win32ScreenGrab;
using Seam::ScreenRect;

constexpr int COLUMNS = 4;
constexpr int ROWS = 5;

// The system's twenty static colours: painted solid, never dithered, on a palette display.
std::vector<COLORREF> StaticColours() {
    std::array<PALETTEENTRY, 256> entries{};
    HDC screen = GetDC(nullptr);
    const UINT count =
        screen != nullptr ? GetSystemPaletteEntries(screen, 0, 256, entries.data()) : 0;
    if (screen != nullptr)
        ReleaseDC(nullptr, screen);
    std::vector<COLORREF> colours;
    if (count != 256)
        return colours;
    for (const int index :
         {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 246, 247, 248, 249, 250, 251, 252, 253, 254, 255}) {
        const PALETTEENTRY& e = entries[static_cast<std::size_t>(index)];
        colours.push_back(RGB(e.peRed, e.peGreen, e.peBlue));
    }
    return colours;
}

RECT BlockRect(int column, int row, int width, int height) {
    return RECT{column * width / COLUMNS, row * height / ROWS, (column + 1) * width / COLUMNS,
                (row + 1) * height / ROWS};
}

std::vector<COLORREF> paintedColours;

void PaintBlocks(HDC dc, int width, int height) {
    for (int row = 0; row < ROWS; ++row) {
        for (int column = 0; column < COLUMNS; ++column) {
            HBRUSH brush =
                CreateSolidBrush(paintedColours[static_cast<std::size_t>(row * COLUMNS + column)]);
            const RECT block = BlockRect(column, row, width, height);
            FillRect(dc, &block, brush);
            DeleteObject(brush);
        }
    }
}

TEST(PaletteDisplay, GrabHoldsTheSystemPalettesIndicesScaledByNearestNeighbour) {
    HDC screen = GetDC(nullptr);
    ASSERT_NE(screen, nullptr);
    const bool palette = (GetDeviceCaps(screen, RASTERCAPS) & RC_PALETTE) != 0 &&
                         GetDeviceCaps(screen, SIZEPALETTE) == 256;
    ReleaseDC(nullptr, screen);
    ASSERT_TRUE(palette) << "this test needs a 256-colour palette display";
    paintedColours = StaticColours();
    ASSERT_EQ(paintedColours.size(), static_cast<std::size_t>(ROWS * COLUMNS));

    const auto read = Win32Screen().ReadPrimaryScreen();
    ASSERT_TRUE(read.Ok()) << read.Error().Text();
    const ScreenRect primary = *read;
    const Win32Test::ScreenCover blocks(primary.X, primary.Y, primary.Width, primary.Height,
                                        PaintBlocks);
    ASSERT_NE(blocks.Handle(), nullptr);

    Win32ScreenGrab grab;
    std::string mismatches = "no grab";
    const bool shown = Win32Test::WaitUntil([&] {
        auto picture = grab.GrabScaled(primary, 160, 120);
        if (!picture.Ok()) {
            mismatches = picture.Error().Text();
            return false;
        }
        const KestrelMain::Picture& p = picture.Value();
        EXPECT_EQ(p.Pixels().BitsPerPixel, 8);
        if (!p.Colors().has_value() || p.Colors()->Entries.size() != 256) {
            mismatches = "no palette of 256 entries";
            return false;
        }
        mismatches.clear();
        for (int row = 0; row < ROWS; ++row) {
            for (int column = 0; column < COLUMNS; ++column) {
                const RECT block = BlockRect(column, row, p.Width(), p.Height());
                for (const int quarter : {1, 2, 3}) {
                    const int x = block.left + (block.right - block.left) * quarter / 4;
                    const int y = block.top + (block.bottom - block.top) * quarter / 4;
                    const std::uint8_t index = p.Pixels().Row(y)[x];
                    const KestrelMain::PaletteEntry& e = p.Colors()->Entries[index];
                    const COLORREF expected =
                        paintedColours[static_cast<std::size_t>(row * COLUMNS + column)];
                    if (RGB(e.Red, e.Green, e.Blue) != expected) {
                        mismatches += "block " + std::to_string(column) + "," +
                                      std::to_string(row) + " has index " + std::to_string(index) +
                                      "; ";
                    }
                }
            }
        }
        return mismatches.empty();
    });
    EXPECT_TRUE(shown) << mismatches;
}

}  // namespace
