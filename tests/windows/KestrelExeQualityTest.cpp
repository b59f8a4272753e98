// The quality of kestrel.exe's pictures: a window of the test covers the whole screen with a
// pattern known here to the pixel (colour blocks, gradients, one-pixel lines, their edges
// off the output's pixel boundaries), the program captures it on a click of Make Capture
// Now, and the saved BMP is compared with the exact area average of the pattern, computed
// by the benchmark's reference code, and with the blocks where the scaling puts them.
#include "KestrelExeSupport.h"
#include "testkit/AreaReference.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace Win32Test;

constexpr double MIN_PSNR_DB = 50.0;

// Block edges at 111 k - 19 and 97 k - 23 pixels, and the bands' edges below: on a
// 1024 x 768 screen none of them falls where an edge of a pixel of any output size below
// does (for 800 x 600, at multiples of 32), so every edge is cut by the scaling.
constexpr int BLOCK_WIDTH = 111;
constexpr int BLOCK_X_SHIFT = 19;
constexpr int BLOCK_HEIGHT = 97;
constexpr int BLOCK_Y_SHIFT = 23;
constexpr std::uint32_t BLOCK_COLOURS[] = {
    0xff0000, 0x00ff00, 0x0000ff, 0xffffff, 0x000000, 0xffff00, 0x00ffff,
    0xff00ff, 0x804020, 0x1060c8, 0xc8c8c8, 0x010203, 0xfa8072,
};

// The bands: blocks above, gradients in the middle, thin lines below.
int GradientTop(int height) {
    return height * 3 / 5 + 1;
}
int LinesTop(int height) {
    return height * 4 / 5 + 3;
}

int BlockColumn(int x) {
    return (x + BLOCK_X_SHIFT) / BLOCK_WIDTH;
}
int BlockRow(int y) {
    return (y + BLOCK_Y_SHIFT) / BLOCK_HEIGHT;
}
std::uint32_t BlockColour(int column, int row) {
    return BLOCK_COLOURS[static_cast<std::size_t>(column * 5 + row * 3) % std::size(BLOCK_COLOURS)];
}

// The pattern's colour (0xRRGGBB) at (x, y) on a screen of that size.
std::uint32_t PatternAt(int x, int y, int width, int height) {
    if (y < GradientTop(height))
        return BlockColour(BlockColumn(x), BlockRow(y));
    if (y < LinesTop(height)) {
        const auto red = static_cast<std::uint32_t>(x * 255 / std::max(width - 1, 1));
        const auto green =
            static_cast<std::uint32_t>((y - GradientTop(height)) * 255 /
                                       std::max(LinesTop(height) - GradientTop(height) - 1, 1));
        return red << 16 | green << 8 | 0x40u;
    }
    // One-pixel lines: dark columns every third pixel, and every fifth row light.
    if ((y - LinesTop(height)) % 5 == 0)
        return 0xf0f0f0u;
    return x % 3 == 0 ? 0x101010u : 0xd04080u;
}

// The pattern as a top-down 32-bit DIB's pixels (blue, green, red, unused).
std::vector<std::uint32_t> PatternPixels(int width, int height) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) *
                                      static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                   static_cast<std::size_t>(x)] = PatternAt(x, y, width, height);
    }
    return pixels;
}

struct Pattern {
    int Width;
    int Height;
    std::vector<std::uint32_t> Pixels;
};

// What a window over the whole screen shows to be the pattern; it stays above
// kestrel.exe's own window.
ScreenCover::Painter PaintingOf(const Pattern& pattern) {
    return [&pattern](HDC dc, int, int) {
        const BITMAPINFO info = TopDown32(pattern.Width, pattern.Height);
        SetDIBitsToDevice(
            dc, 0, 0, static_cast<DWORD>(pattern.Width), static_cast<DWORD>(pattern.Height), 0, 0,
            0, static_cast<UINT>(pattern.Height), pattern.Pixels.data(), &info, DIB_RGB_COLORS);
    };
}

std::string Hex(std::uint32_t colour) {
    std::ostringstream text;
    text << "#" << std::hex << (colour & 0xffffffu);
    return text.str();
}

// What the screen shows where it differs from the pattern (the count and the first
// place); empty when it shows the pattern exactly.
std::string ScreenDifference(const Pattern& pattern) {
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    const BITMAPINFO info = TopDown32(pattern.Width, pattern.Height);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    std::string difference = "the screen could not be read";
    if (bitmap != nullptr && bits != nullptr) {
        HGDIOBJ previous = SelectObject(memory, bitmap);
        if (BitBlt(memory, 0, 0, pattern.Width, pattern.Height, screen, 0, 0, SRCCOPY)) {
            GdiFlush();
            const auto* shown = static_cast<const std::uint32_t*>(bits);
            std::size_t count = 0;
            std::size_t first = 0;
            for (std::size_t i = 0; i < pattern.Pixels.size(); ++i) {
                if ((shown[i] & 0xffffffu) != pattern.Pixels[i]) {
                    if (count++ == 0)
                        first = i;
                }
            }
            const auto width = static_cast<std::size_t>(pattern.Width);
            difference = count == 0 ? ""
                                    : std::to_string(count) + " pixels differ, the first at " +
                                          std::to_string(first % width) + "," +
                                          std::to_string(first / width) + ": " + Hex(shown[first]) +
                                          " for " + Hex(pattern.Pixels[first]);
        }
        SelectObject(memory, previous);
    }
    if (bitmap != nullptr)
        DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return difference;
}

// The range of output pixels along one axis whose whole source footprint lies inside the
// source span [low, high): first and last, first > last when there is none.
std::pair<int, int> InsideSpan(int low, int high, int source, int output) {
    // Output pixel i covers [i * source / output, (i + 1) * source / output).
    const auto first = static_cast<int>((static_cast<long long>(low) * output + source - 1) /
                                        source);  // i * source >= low * output
    const auto end = static_cast<int>(static_cast<long long>(high) * output / source);
    return {first, end - 1};  // (i + 1) * source <= high * output
}

// Blocks whose corners or centre, as output pixels wholly inside the block, are not
// exactly the block's colour; empty when every one is. A picture shifted by one pixel,
// mirrored or cut at the edges fails here even when its PSNR would pass.
std::string MisplacedBlocks(const TestKit::BmpImage& image, const Pattern& pattern) {
    std::string found;
    int checked = 0;
    const int top = GradientTop(pattern.Height);
    for (int row = 0; row <= BlockRow(top - 1); ++row) {
        for (int column = 0; column <= BlockColumn(pattern.Width - 1); ++column) {
            const int left = std::max(0, column * BLOCK_WIDTH - BLOCK_X_SHIFT);
            const int right = std::min(pattern.Width, (column + 1) * BLOCK_WIDTH - BLOCK_X_SHIFT);
            const int upper = std::max(0, row * BLOCK_HEIGHT - BLOCK_Y_SHIFT);
            const int lower = std::min(top, (row + 1) * BLOCK_HEIGHT - BLOCK_Y_SHIFT);
            const auto [x0, x1] = InsideSpan(left, right, pattern.Width, image.Width);
            const auto [y0, y1] = InsideSpan(upper, lower, pattern.Height, image.Height);
            if (x0 > x1 || y0 > y1)
                continue;
            const std::pair<int, int> samples[] = {
                {x0, y0}, {x1, y0}, {x0, y1}, {x1, y1}, {(x0 + x1) / 2, (y0 + y1) / 2}};
            for (const auto& [x, y] : samples) {
                ++checked;
                const std::uint32_t seen = image.RawAt(x, y);
                if (seen != BlockColour(column, row)) {
                    found += "block " + std::to_string(column) + "," + std::to_string(row) +
                             " at " + std::to_string(x) + "," + std::to_string(y) + ": " +
                             Hex(seen) + " for " + Hex(BlockColour(column, row)) + "; ";
                }
            }
        }
    }
    return checked < 20 ? "only " + std::to_string(checked) + " samples inside blocks" : found;
}

struct OutputSize {
    int Width;
    int Height;
};

class KestrelExeQualityTest : public KestrelExeTestBase,
                              public testing::WithParamInterface<OutputSize> {};

TEST_P(KestrelExeQualityTest, PictureIsTheExactAreaAverageOfTheScreen) {
    const OutputSize output = GetParam();
    Store(L"OutputWidth", std::to_wstring(output.Width));
    Store(L"OutputHeight", std::to_wstring(output.Height));
    Pattern pattern{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), {}};
    ASSERT_GT(pattern.Width, 0);
    ASSERT_GT(pattern.Height, 0);
    pattern.Pixels = PatternPixels(pattern.Width, pattern.Height);

    KestrelExe kestrel;
    ASSERT_TRUE(kestrel.Started());
    HWND window = kestrel.WaitForWindow();
    ASSERT_NE(window, nullptr);
    const auto entries = Entries(base_.Path());
    ASSERT_EQ(entries.size(), 1u);
    const std::filesystem::path captureDir = entries[0];

    // Painted above the program's window, which the click below does not need.
    const ScreenCover cover(0, 0, pattern.Width, pattern.Height, PaintingOf(pattern));
    ASSERT_NE(cover.Handle(), nullptr);
    std::string difference;
    ASSERT_TRUE(WaitUntil([&] { return (difference = ScreenDifference(pattern)).empty(); }))
        << "the screen does not show the pattern: " << difference;

    PostMessageW(FindWindowExW(window, nullptr, L"Button", L"Make Capture Now"), BM_CLICK, 0, 0);
    std::filesystem::path saved;
    ASSERT_TRUE(WaitUntil(
        [&] {
            const auto files = Entries(captureDir);
            if (files.size() != 1 ||
                !std::regex_match(files[0].filename().wstring(), std::wregex(L"1-.*\\.bmp")))
                return false;
            saved = files[0];
            return true;
        },
        std::chrono::seconds(30)))
        << "no picture saved";
    // Nothing came over the pattern while the program grabbed it.
    EXPECT_EQ(ScreenDifference(pattern), "");

    TestKit::ExactAreaAverage reference(pattern.Width, pattern.Height, output.Width, output.Height);
    for (int y = 0; y < pattern.Height; ++y)
        reference.AddRow(y, pattern.Pixels.data() + static_cast<std::size_t>(y) *
                                                        static_cast<std::size_t>(pattern.Width));
    const TestKit::BmpImage image = TestKit::ReadBmp(saved);
    const TestKit::Quality quality = TestKit::Compare(image, reference);
    ASSERT_EQ(quality.Error, "");
    EXPECT_GE(quality.Psnr, MIN_PSNR_DB) << "largest channel difference " << quality.MaxError;
    EXPECT_EQ(MisplacedBlocks(image, pattern), "");
}

INSTANTIATE_TEST_SUITE_P(OutputSizes, KestrelExeQualityTest,
                         testing::Values(OutputSize{800, 600}, OutputSize{333, 250},
                                         OutputSize{1111, 845}),
                         [](const testing::TestParamInfo<OutputSize>& size) {
                             return std::to_string(size.param.Width) + "x" +
                                    std::to_string(size.param.Height);
                         });

}  // namespace
