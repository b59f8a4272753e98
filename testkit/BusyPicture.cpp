#include "testkit/BusyPicture.h"

#include <algorithm>
#include <vector>

namespace TestKit {

namespace {

constexpr int TILE_WIDTH = 240;
constexpr int TILE_HEIGHT = 180;
constexpr int LINE_PITCH = 16;  // text lines
constexpr int GLYPH_PITCH = 7;
constexpr int GLYPH_WIDTH = 5;
constexpr int GLYPH_TOP = 3;
constexpr int GLYPH_HEIGHT = 9;
constexpr int BLOCK_SIDE = 24;

std::uint32_t Mix(std::uint32_t a) {
    a ^= a >> 16;
    a *= 0x7feb352du;
    a ^= a >> 15;
    a *= 0x846ca68bu;
    a ^= a >> 16;
    return a;
}

std::uint32_t Hash(std::uint32_t a, std::uint32_t b, std::uint32_t c = 0) {
    return Mix(a * 0x9e3779b9u ^ Mix(b + 0x632be5abu) ^ Mix(c * 0x85ebca6bu + 0x1b873593u));
}

std::uint32_t Rgb(std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
    return (red & 0xffu) << 16 | (green & 0xffu) << 8 | (blue & 0xffu);
}

std::uint32_t Gradient(int x, int y, int width, int height) {
    const auto w = static_cast<std::uint32_t>(std::max(width - 1, 1));
    const auto h = static_cast<std::uint32_t>(std::max(height - 1, 1));
    const auto ux = static_cast<std::uint32_t>(x);
    const auto uy = static_cast<std::uint32_t>(y);
    return Rgb(ux * 255u / w, uy * 255u / h, (ux + uy) * 255u / (w + h));
}

// Rows of glyphs in a 5 x 9 cell, dark on a light, slightly tinted page: the thin
// strokes of text, which a reduction must keep as grey rather than drop.
std::uint32_t Text(std::uint32_t tile, int lx, int ly) {
    const std::uint32_t paper = 0xe8e8e8u ^ (Hash(tile, 1) & 0x0f0f0fu);
    const std::uint32_t ink = 0x181818u | (Hash(tile, 2) & 0x3f003fu);
    const int line = ly / LINE_PITCH;
    const int row = ly % LINE_PITCH - GLYPH_TOP;
    const int glyph = lx / GLYPH_PITCH;
    const int column = lx % GLYPH_PITCH;
    if (row < 0 || row >= GLYPH_HEIGHT || column >= GLYPH_WIDTH)
        return paper;
    const std::uint32_t shape =
        Hash(tile, static_cast<std::uint32_t>(line) + 3, static_cast<std::uint32_t>(glyph));
    // Short lines and gaps between words.
    if (shape % 9 == 0 || glyph > static_cast<int>(28 + Hash(tile, 4, line) % 6))
        return paper;
    const std::uint32_t bits = Hash(shape, static_cast<std::uint32_t>(row));
    return (bits >> column & 1u) != 0 ? ink : paper;
}

std::uint32_t Blocks(std::uint32_t tile, int lx, int ly) {
    const std::uint32_t cell = Hash(tile, static_cast<std::uint32_t>(lx / BLOCK_SIDE) + 7,
                                    static_cast<std::uint32_t>(ly / BLOCK_SIDE));
    return cell & 0xffffffu;
}

// Alternating one-pixel stripes: the hardest case for any scaler.
std::uint32_t Stripes(std::uint32_t tile, int lx, int ly) {
    const std::uint32_t colour = Hash(tile, 5) & 0xffffffu;
    if ((tile & 1u) != 0)
        return (lx % 2 == 0) ? colour : 0xffffffu - colour;
    return (ly % 3 == 0) ? 0x000000u : colour;
}

}  // namespace

std::uint32_t BusyColourAt(int x, int y, int width, int height) {
    // Lines across the whole screen, one pixel wide.
    if (x % 97 == 13)
        return 0x000000u;
    if (y % 71 == 17)
        return 0xffffffu;
    const int tx = x / TILE_WIDTH;
    const int ty = y / TILE_HEIGHT;
    const int lx = x % TILE_WIDTH;
    const int ly = y % TILE_HEIGHT;
    const std::uint32_t tile = Hash(static_cast<std::uint32_t>(tx), static_cast<std::uint32_t>(ty));
    switch (tile % 5) {
        case 0:
        case 1:
            return Text(tile, lx, ly);
        case 2:
            return Blocks(tile, lx, ly);
        case 3:
            return Stripes(tile, lx, ly);
        default:
            return Gradient(x, y, width, height);
    }
}

ExactAreaAverage BusyPictureAverage(int width, int height, int outputWidth, int outputHeight) {
    ExactAreaAverage reference(width, height, outputWidth, outputHeight);
    std::vector<std::uint32_t> line(static_cast<std::size_t>(width));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            line[static_cast<std::size_t>(x)] = BusyColourAt(x, y, width, height);
        reference.AddRow(y, line.data());
    }
    return reference;
}

}  // namespace TestKit
