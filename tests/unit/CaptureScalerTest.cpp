// The arithmetic of the scaled grab against references computed here, directly from the
// definition: each output pixel the mean of the source area it covers, in doubles.
#include "core/AreaScaler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

using KestrelMain::AreaScaler;
using KestrelMain::PixelKind;
using KestrelMain::PixelLayout;

// Channel values per pixel, top row first.
struct Image {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint32_t> Red, Green, Blue;
};

int ShiftOf(std::uint32_t mask) {
    return mask == 0 ? 0 : __builtin_ctz(mask);
}
std::uint32_t MaxOf(std::uint32_t mask) {
    return mask >> ShiftOf(mask);
}

// Random channel values filling each channel's range.
Image Noise(int width, int height, const PixelLayout& layout, unsigned seed) {
    std::mt19937 random(seed);
    const auto next = [&](std::uint32_t mask) {
        return static_cast<std::uint32_t>(random() % (MaxOf(mask) + 1));
    };
    Image image{width, height, {}, {}, {}};
    for (int i = 0; i < width * height; ++i) {
        image.Red.push_back(next(layout.RedMask));
        image.Green.push_back(next(layout.GreenMask));
        image.Blue.push_back(next(layout.BlueMask));
    }
    return image;
}

// The rows as the server would send them in this layout.
std::vector<std::uint8_t> Encode(const Image& image, const PixelLayout& layout) {
    const std::size_t stride = layout.RowBytes(image.Width);
    std::vector<std::uint8_t> rows(stride * image.Height, 0xAB);
    const int bytes = layout.BitsPerPixel / 8;
    for (int y = 0; y < image.Height; ++y) {
        for (int x = 0; x < image.Width; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * image.Width + x;
            const std::uint32_t pixel = image.Red[i] << ShiftOf(layout.RedMask) |
                                        image.Green[i] << ShiftOf(layout.GreenMask) |
                                        image.Blue[i] << ShiftOf(layout.BlueMask);
            std::uint8_t* p = &rows[stride * y + static_cast<std::size_t>(x) * bytes];
            for (int b = 0; b < bytes; ++b) {
                const int shift = layout.MsbFirst ? 8 * (bytes - 1 - b) : 8 * b;
                p[b] = static_cast<std::uint8_t>(pixel >> shift);
            }
        }
    }
    return rows;
}

// Hands out rows from memory and checks they are asked for in increasing order.
class MemoryRows : public KestrelMain::RowSource {
  public:
    MemoryRows(const std::vector<std::uint8_t>& rows, std::size_t stride)
        : rows_(rows), stride_(stride) {}
    const std::uint8_t* Row(int y) override {
        if (y < last_)
            backwards_ = true;
        last_ = y;
        return rows_.data() + stride_ * static_cast<std::size_t>(y);
    }
    bool Backwards() const { return backwards_; }

  private:
    const std::vector<std::uint8_t>& rows_;
    std::size_t stride_;
    int last_ = -1;
    bool backwards_ = false;
};

// The exact area average of one channel, in the channel's units.
std::vector<double> Reference(const Image& image, const std::vector<std::uint32_t>& channel,
                              int width, int height) {
    std::vector<double> out(static_cast<std::size_t>(width) * height);
    const double sx = static_cast<double>(image.Width) / width;
    const double sy = static_cast<double>(image.Height) / height;
    for (int j = 0; j < height; ++j) {
        const double y0 = j * sy, y1 = (j + 1) * sy;
        for (int i = 0; i < width; ++i) {
            const double x0 = i * sx, x1 = (i + 1) * sx;
            double sum = 0;
            for (int y = static_cast<int>(std::floor(y0)); y < std::ceil(y1) && y < image.Height;
                 ++y) {
                const double cy = std::min(y1, y + 1.0) - std::max(y0, static_cast<double>(y));
                for (int x = static_cast<int>(std::floor(x0)); x < std::ceil(x1) && x < image.Width;
                     ++x) {
                    const double cx = std::min(x1, x + 1.0) - std::max(x0, static_cast<double>(x));
                    sum += cx * cy * channel[static_cast<std::size_t>(y) * image.Width + x];
                }
            }
            out[static_cast<std::size_t>(j) * width + i] = sum / (sx * sy);
        }
    }
    return out;
}

struct Scaled {
    KestrelMain::Bitmap Bitmap;
    bool Backwards = false;
};

Scaled Scale(const Image& image, const PixelLayout& layout, int width, int height) {
    const auto rows = Encode(image, layout);
    AreaScaler scaler;
    EXPECT_FALSE(scaler.Prepare(layout, image.Width, image.Height, width, height));
    auto bitmap = KestrelMain::AllocateBitmap(width, height, scaler.Format().BitsPerPixel);
    EXPECT_TRUE(bitmap.Ok());
    MemoryRows source(rows, layout.RowBytes(image.Width));
    EXPECT_TRUE(scaler.Run(source, bitmap.Value()));
    return Scaled{std::move(bitmap.Value()), source.Backwards()};
}

// Largest difference from the rounded reference, in output units, over all channels.
void ExpectExact(const Image& image, const PixelLayout& layout, int width, int height) {
    const Scaled scaled = Scale(image, layout, width, height);
    const KestrelMain::Bitmap& bitmap = scaled.Bitmap;
    EXPECT_FALSE(scaled.Backwards);
    const std::vector<double> reference[3] = {Reference(image, image.Red, width, height),
                                              Reference(image, image.Green, width, height),
                                              Reference(image, image.Blue, width, height)};
    const std::uint32_t masks[3] = {layout.RedMask, layout.GreenMask, layout.BlueMask};
    int off = 0;
    double worst = 0;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* row = bitmap.Row(y);
        for (int x = 0; x < width; ++x) {
            for (int c = 0; c < 3; ++c) {
                const std::uint32_t channelMax = MaxOf(masks[c]);
                double expected = reference[c][static_cast<std::size_t>(y) * width + x];
                double got;
                if (bitmap.BitsPerPixel == 24) {
                    got = row[3 * x + 2 - c];
                    expected = expected * 255.0 / channelMax;
                } else {
                    const std::uint32_t pixel = row[2 * x] | std::uint32_t{row[2 * x + 1]} << 8;
                    got = (pixel & masks[c]) >> ShiftOf(masks[c]);
                }
                const double error = std::abs(got - expected);
                worst = std::max(worst, error);
                if (error > 0.5 + 1e-3)
                    ++off;
            }
        }
        // Row padding is zero.
        const std::size_t used = static_cast<std::size_t>(width) * bitmap.BitsPerPixel / 8;
        for (std::size_t k = used; k < bitmap.Stride; ++k) ASSERT_EQ(row[k], 0) << "row " << y;
    }
    // Rounded to the nearest value, a tie either way; float rounding may move a value
    // sitting within a hair of a tie.
    EXPECT_LT(worst, 0.5 + 1e-3);
    EXPECT_EQ(off, 0);
}

PixelLayout Bgrx32() {
    return PixelLayout{};
}

PixelLayout Layout(int depth, int bitsPerPixel, std::uint32_t red, std::uint32_t green,
                   std::uint32_t blue, bool msbFirst = false) {
    PixelLayout layout;
    layout.Depth = depth;
    layout.BitsPerPixel = bitsPerPixel;
    layout.RedMask = red;
    layout.GreenMask = green;
    layout.BlueMask = blue;
    layout.MsbFirst = msbFirst;
    return layout;
}

struct Geometry {
    int SourceWidth, SourceHeight, Width, Height;
};

const Geometry GEOMETRIES[] = {
    {1024, 768, 800, 600}, {1024, 768, 801, 601}, {333, 250, 80, 61}, {37, 23, 801, 601},
    {40, 30, 41, 29},      {64, 48, 64, 48},      {97, 13, 1, 1},     {500, 3, 7, 300},
    {1, 1, 5, 3},          {17, 900, 16, 7},
};

TEST(AreaScaler, TheAverageIsExactOnTrueColourScreens) {
    const struct {
        const char* Name;
        PixelLayout Layout;
    } layouts[] = {
        {"32-bit BGRX", Bgrx32()},
        {"32-bit, most significant byte first", Layout(24, 32, 0xff0000, 0xff00, 0xff, true)},
        {"32-bit RGBX", Layout(24, 32, 0xff, 0xff00, 0xff0000)},
        {"24-bit packed", Layout(24, 24, 0xff0000, 0xff00, 0xff)},
        {"16-bit 5-6-5", Layout(16, 16, 0xf800, 0x07e0, 0x001f)},
        {"16-bit 5-6-5, most significant byte first", Layout(16, 16, 0xf800, 0x07e0, 0x001f, true)},
        {"15-bit 5-5-5", Layout(15, 16, 0x7c00, 0x03e0, 0x001f)},
        {"30-bit 10-10-10", Layout(30, 32, 0x3ff00000, 0xffc00, 0x3ff)},
        {"18-bit 6-6-6", Layout(18, 32, 0x3f000, 0xfc0, 0x3f)},
    };
    for (const auto& l : layouts) {
        for (const Geometry& g : GEOMETRIES) {
            SCOPED_TRACE(std::string(l.Name) + ": " + std::to_string(g.SourceWidth) + "x" +
                         std::to_string(g.SourceHeight) + " to " + std::to_string(g.Width) + "x" +
                         std::to_string(g.Height));
            ExpectExact(Noise(g.SourceWidth, g.SourceHeight, l.Layout, 7), l.Layout, g.Width,
                        g.Height);
        }
    }
}

TEST(AreaScaler, KeepsTheScreensOwnDepthWhereA16BitFileHoldsIt) {
    const struct {
        PixelLayout Layout;
        int Bits;
    } cases[] = {{Bgrx32(), 24},
                 {Layout(16, 16, 0xf800, 0x07e0, 0x001f), 16},
                 {Layout(15, 16, 0x7c00, 0x03e0, 0x001f), 16},
                 {Layout(30, 32, 0x3ff00000, 0xffc00, 0x3ff), 24},
                 {Layout(24, 24, 0xff0000, 0xff00, 0xff), 24}};
    for (const auto& c : cases) {
        const auto format = KestrelMain::ChooseBitmapFormat(c.Layout);
        ASSERT_TRUE(format.Ok());
        EXPECT_EQ((*format).BitsPerPixel, c.Bits) << "depth " << c.Layout.Depth;
        if (c.Bits == 16) {
            EXPECT_EQ((*format).RedMask, c.Layout.RedMask);
        }
    }
    PixelLayout palette;
    palette.Kind = PixelKind::Indexed;
    palette.Depth = 8;
    palette.BitsPerPixel = 8;
    EXPECT_EQ((*KestrelMain::ChooseBitmapFormat(palette)).BitsPerPixel, 8);
}

TEST(AreaScaler, RefusesLayoutsAndSizesItCannotHonourSayingWhy) {
    PixelLayout bits4 = Bgrx32();
    bits4.BitsPerPixel = 4;
    const struct {
        PixelLayout Layout;
        const char* Text;
    } layouts[] = {
        {bits4,
         "Cannot read the screen: unsupported pixel layout (depth 24, 4 bits per pixel): bits "
         "per pixel must be 8, 16, 24 or 32"},
        {Layout(24, 32, 0xf0f000, 0xff00, 0xff),
         "Cannot read the screen: unsupported pixel layout (depth 24, 32 bits per pixel): a "
         "colour mask is not usable"},
        {Layout(16, 16, 0xf8000, 0x07e0, 0x001f),
         "Cannot read the screen: unsupported pixel layout (depth 16, 16 bits per pixel): a "
         "colour mask lies outside the pixel"},
    };
    for (const auto& l : layouts) {
        const auto format = KestrelMain::ChooseBitmapFormat(l.Layout);
        ASSERT_FALSE(format.Ok());
        EXPECT_EQ(format.Error().Text(), l.Text);
    }
    const struct {
        Geometry Size;
        const char* Text;
    } sizes[] = {
        {{1024, 768, 0, 600},
         "Cannot make a picture of 0 x 600 pixels: width and height must be 1 to 65535"},
        {{1024, 768, 800, -1},
         "Cannot make a picture of 800 x -1 pixels: width and height must be 1 to 65535"},
        {{1024, 768, 70000, 600},
         "Cannot make a picture of 70000 x 600 pixels: width and height must be 1 to 65535"},
        {{0, 768, 800, 600}, "Cannot read the screen: the screen area is 0 x 768 pixels"},
    };
    AreaScaler scaler;
    for (const auto& c : sizes) {
        const Geometry& g = c.Size;
        const auto failed =
            scaler.Prepare(Bgrx32(), g.SourceWidth, g.SourceHeight, g.Width, g.Height);
        ASSERT_TRUE(failed) << g.Width << "x" << g.Height;
        EXPECT_EQ(failed->Text(), c.Text);
    }
}

TEST(AreaScaler, ThinLinesReducedFourPointEightTimesBecomeGrey) {
    // One-pixel black and white lines, across and down.
    for (bool rows : {true, false}) {
        Image image{1920, 1080, {}, {}, {}};
        for (int y = 0; y < 1080; ++y) {
            for (int x = 0; x < 1920; ++x) {
                const std::uint32_t v = ((rows ? y : x) % 2 == 0) ? 255 : 0;
                image.Red.push_back(v);
                image.Green.push_back(v);
                image.Blue.push_back(v);
            }
        }
        const Scaled scaled = Scale(image, Bgrx32(), 400, 225);
        int worst = 0;
        for (int y = 0; y < 225; ++y) {
            for (int x = 0; x < 400 * 3; ++x) {
                worst = std::max(worst, std::abs(scaled.Bitmap.Row(y)[x] * 2 - 255));
            }
        }
        // Within 12% of mid-grey (127.5), in half units.
        EXPECT_LE(worst, static_cast<int>(0.12 * 255 * 2)) << (rows ? "rows" : "columns");
    }
}

TEST(AreaScaler, PaletteScreensTakeTheNearestIndex) {
    PixelLayout layout;
    layout.Kind = PixelKind::Indexed;
    layout.Depth = 8;
    layout.BitsPerPixel = 8;
    for (const Geometry& g : GEOMETRIES) {
        std::vector<std::uint8_t> rows(layout.RowBytes(g.SourceWidth) * g.SourceHeight);
        for (std::size_t i = 0; i < rows.size(); ++i)
            rows[i] = static_cast<std::uint8_t>(i * 7 + i / 13);
        AreaScaler scaler;
        ASSERT_FALSE(scaler.Prepare(layout, g.SourceWidth, g.SourceHeight, g.Width, g.Height));
        ASSERT_EQ(scaler.Format().BitsPerPixel, 8);
        auto bitmap = KestrelMain::AllocateBitmap(g.Width, g.Height, 8);
        MemoryRows source(rows, layout.RowBytes(g.SourceWidth));
        ASSERT_TRUE(scaler.Run(source, bitmap.Value()));
        EXPECT_FALSE(source.Backwards());
        for (int y = 0; y < g.Height; ++y) {
            const int sy = static_cast<int>((2LL * y + 1) * g.SourceHeight / (2LL * g.Height));
            for (int x = 0; x < g.Width; ++x) {
                const int sx = static_cast<int>((2LL * x + 1) * g.SourceWidth / (2LL * g.Width));
                ASSERT_EQ(bitmap.Value().Row(y)[x], rows[layout.RowBytes(g.SourceWidth) * sy + sx])
                    << x << "," << y << " of " << g.Width << "x" << g.Height;
            }
        }
    }
}

TEST(AreaScaler, AnUnreadableRowStopsTheRun) {
    struct Failing : KestrelMain::RowSource {
        std::vector<std::uint8_t> Row0 = std::vector<std::uint8_t>(4 * 64);
        const std::uint8_t* Row(int y) override { return y < 10 ? Row0.data() : nullptr; }
    } source;
    AreaScaler scaler;
    ASSERT_FALSE(scaler.Prepare(Bgrx32(), 64, 48, 32, 24));
    auto bitmap = KestrelMain::AllocateBitmap(32, 24, 24);
    EXPECT_FALSE(scaler.Run(source, bitmap.Value()));
}

// The step that ends every grab: the picture with its palette, or the source's own reason for
// a row it could not read.
TEST(AreaScaler, AScaledPictureCarriesThePaletteOrTheSourcesReason) {
    struct Rows : KestrelMain::RowSource {
        int Readable = 0;
        std::vector<std::uint8_t> Row0 = std::vector<std::uint8_t>(64);
        const std::uint8_t* Row(int y) override { return y < Readable ? Row0.data() : nullptr; }
    } rows;
    PixelLayout indexed = Layout(8, 8, 0, 0, 0);
    indexed.Kind = PixelKind::Indexed;
    AreaScaler scaler;
    for (const int readable : {48, 10}) {
        rows.Readable = readable;
        const auto unreadable = [] { return KestrelMain::Failure{"row 10 unreadable", {}, {}}; };
        const auto picture = KestrelMain::ScalePicture(
            scaler, indexed, 64, 48, 32, 24, rows, KestrelMain::Palette{{{1, 2, 3}}}, unreadable);
        EXPECT_EQ(picture ? (*picture).Colors()->Entries.size() : 0u, readable == 48 ? 1u : 0u);
        EXPECT_EQ(picture ? "" : picture.Error().What, readable == 48 ? "" : "row 10 unreadable");
    }
}

TEST(AreaScaler, ABitmapTooLargeForMemoryIsAFailureNotACrash) {
    const struct {
        int Width, Height;
        const char* Text;
    } cases[] = {
        // More than any address space can hold; the size in MB always with a "." whatever
        // the locale.
        {2000000000, 2000000000,
         "Cannot make a picture of 2000000000 x 2000000000 pixels: not enough memory for its "
         "11444091796875.0 MB"},
        {0, 600, "Cannot make a picture of 0 x 600 pixels: width and height must be positive"},
        {800, -600,
         "Cannot make a picture of 800 x -600 pixels: width and height must be positive"},
    };
    for (const auto& c : cases) {
        const auto bitmap = KestrelMain::AllocateBitmap(c.Width, c.Height, 24);
        ASSERT_FALSE(bitmap.Ok());
        EXPECT_EQ(bitmap.Error().Text(), c.Text);
    }
}

}  // namespace
