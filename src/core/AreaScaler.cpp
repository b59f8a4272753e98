#include "core/AreaScaler.h"

#include "core/FailureTexts.h"
#include "core/ScalerKernels.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace KestrelMain {

namespace {

// Sides of at most 2^16 - 1 pixels keep every vertical weight, and their sum (the source
// height), below 2^16: the bound that lets channels of up to 15 bits (ChannelOf) be summed
// in 32-bit lanes.
constexpr int MAX_SIDE = 65535;

// For each output pixel along one axis: the first source pixel it covers and how much of
// each covered source pixel lies inside it. Lengths are in units of 1/output of a source
// pixel, so every overlap is an exact integer and each output's overlaps sum to `source`.
struct Taps {
    std::vector<std::int32_t> First;
    std::vector<std::int32_t> Offset;  // into Units; one more entry than outputs
    std::vector<std::uint32_t> Units;
};

Taps ComputeTaps(int source, int output) {
    Taps taps;
    taps.First.resize(static_cast<std::size_t>(output));
    taps.Offset.resize(static_cast<std::size_t>(output) + 1);
    taps.Units.reserve(static_cast<std::size_t>(source) + static_cast<std::size_t>(output));
    for (int i = 0; i < output; ++i) {
        const std::int64_t low = std::int64_t{i} * source;
        const std::int64_t high = low + source;
        const std::int64_t first = low / output;
        const std::int64_t last = (high - 1) / output;
        taps.First[static_cast<std::size_t>(i)] = static_cast<std::int32_t>(first);
        taps.Offset[static_cast<std::size_t>(i)] = static_cast<std::int32_t>(taps.Units.size());
        for (std::int64_t c = first; c <= last; ++c) {
            const std::int64_t overlap =
                std::min(high, (c + 1) * output) - std::max(low, c * output);
            taps.Units.push_back(static_cast<std::uint32_t>(overlap));
        }
    }
    taps.Offset[static_cast<std::size_t>(output)] = static_cast<std::int32_t>(taps.Units.size());
    return taps;
}

// The source pixel whose area holds the centre of each output pixel.
std::vector<std::int32_t> NearestMap(int source, int output) {
    std::vector<std::int32_t> map(static_cast<std::size_t>(output));
    for (int i = 0; i < output; ++i) {
        map[static_cast<std::size_t>(i)] = static_cast<std::int32_t>(
            (std::int64_t{2} * i + 1) * source / (std::int64_t{2} * output));
    }
    return map;
}

// The sizes checked, and the bitmap format chosen for the layout.
Result<BitmapFormat> CheckGeometry(const PixelLayout& layout, int sourceWidth, int sourceHeight,
                                   int outputWidth, int outputHeight) {
    if (sourceWidth < 1 || sourceHeight < 1 || sourceWidth > MAX_SIDE || sourceHeight > MAX_SIDE) {
        return Failure{CANNOT_READ_SCREEN,
                       {},
                       "the screen area is " + std::to_string(sourceWidth) + " x " +
                           std::to_string(sourceHeight) + " pixels"};
    }
    if (outputWidth < 1 || outputHeight < 1 || outputWidth > MAX_SIDE || outputHeight > MAX_SIDE) {
        return Failure{"Cannot make a picture of " + std::to_string(outputWidth) + " x " +
                           std::to_string(outputHeight) + " pixels",
                       {},
                       "width and height must be 1 to " + std::to_string(MAX_SIDE)};
    }
    return ChooseBitmapFormat(layout);
}

}  // namespace

struct AreaScaler::Tables {
    bool Ready = false;
    PixelLayout Layout;
    BitmapFormat Format;
    int SourceWidth = 0;
    int SourceHeight = 0;
    int OutputWidth = 0;
    int OutputHeight = 0;

    // Direct pixels.
    Channel Channels[3];     // blue, green, red: the lane order of a 32-bit BGRX pixel
    bool RawLanes = false;   // the source's bytes already are blue, green, red, pad lanes
    bool WideLanes = false;  // channels wider than 8 bits
    Taps Rows;
    Taps Columns;
    std::vector<std::int32_t> ColumnStart;
    std::vector<float> ColumnWeight;
    std::vector<std::uint32_t> Accumulator;
    std::vector<std::uint8_t> Lanes8;
    std::vector<std::uint16_t> Lanes16;
    ScalerKernels::ReduceArgs Reduce{};

    // Indexed pixels.
    std::vector<std::int32_t> NearestColumn;
    std::vector<std::int32_t> NearestRow;

    bool Fits(const PixelLayout& layout, int sourceWidth, int sourceHeight, int outputWidth,
              int outputHeight) const;
    // From the layout and the sizes, already checked.
    void ComputeNearest();
    void ComputeArea();
    int ComputeColumnWeights();  // returns the taps per output pixel
    void ComputeReduce(int taps);
};

bool AreaScaler::Tables::Fits(const PixelLayout& layout, int sourceWidth, int sourceHeight,
                              int outputWidth, int outputHeight) const {
    return Ready && Layout == layout && SourceWidth == sourceWidth &&
           SourceHeight == sourceHeight && OutputWidth == outputWidth &&
           OutputHeight == outputHeight;
}

void AreaScaler::Tables::ComputeNearest() {
    NearestColumn = NearestMap(SourceWidth, OutputWidth);
    NearestRow = NearestMap(SourceHeight, OutputHeight);
}

void AreaScaler::Tables::ComputeArea() {
    Channels[0] = *ChannelOf(Layout.BlueMask);
    Channels[1] = *ChannelOf(Layout.GreenMask);
    Channels[2] = *ChannelOf(Layout.RedMask);
    RawLanes = Layout.BitsPerPixel == 32 && Layout.RedMask == 0xff0000u &&
               Layout.GreenMask == 0x00ff00u && Layout.BlueMask == 0x0000ffu &&
               Layout.MsbFirst == (std::endian::native == std::endian::big);
    WideLanes = std::max({Channels[0].Bits, Channels[1].Bits, Channels[2].Bits}) > 8;

    Rows = ComputeTaps(SourceHeight, OutputHeight);
    Columns = ComputeTaps(SourceWidth, OutputWidth);
    const int taps = ComputeColumnWeights();
    const std::size_t lanes = 4 * static_cast<std::size_t>(SourceWidth);
    Accumulator.assign(lanes, 0);
    if (!RawLanes) {
        if (WideLanes) {
            Lanes16.assign(lanes, 0);
        } else {
            Lanes8.assign(lanes, 0);
        }
    }
    ComputeReduce(taps);
}

int AreaScaler::Tables::ComputeColumnWeights() {
    // Every output pixel gets the same number of taps (the most any has), the unused ones
    // with weight zero, starting early enough to stay inside the row. Horizontal weights
    // also divide by the vertical total (the source height), so the result is the mean in
    // the source's channel units.
    int taps = 1;
    for (int i = 0; i < OutputWidth; ++i) {
        const std::size_t ii = static_cast<std::size_t>(i);
        taps = std::max(taps, Columns.Offset[ii + 1] - Columns.Offset[ii]);
    }
    const double area = static_cast<double>(SourceWidth) * static_cast<double>(SourceHeight);
    ColumnStart.resize(static_cast<std::size_t>(OutputWidth));
    ColumnWeight.assign(static_cast<std::size_t>(OutputWidth) * static_cast<std::size_t>(taps),
                        0.0f);
    for (int i = 0; i < OutputWidth; ++i) {
        const std::size_t ii = static_cast<std::size_t>(i);
        const int first = Columns.First[ii];
        const int start = std::min(first, SourceWidth - taps);
        ColumnStart[ii] = start;
        for (int k = Columns.Offset[ii]; k < Columns.Offset[ii + 1]; ++k) {
            const int column = first + (k - Columns.Offset[ii]);
            ColumnWeight[ii * static_cast<std::size_t>(taps) +
                         static_cast<std::size_t>(column - start)] =
                static_cast<float>(static_cast<double>(Columns.Units[static_cast<std::size_t>(k)]) /
                                   area);
        }
    }
    return taps;
}

void AreaScaler::Tables::ComputeReduce(int taps) {
    ScalerKernels::ReduceArgs& r = Reduce;
    r.Accumulator = Accumulator.data();
    r.First = ColumnStart.data();
    r.Weight = ColumnWeight.data();
    r.Taps = taps;
    r.OutputWidth = OutputWidth;
    for (int c = 0; c < 3; ++c) {
        const Channel& channel = Channels[c];
        if (Format.BitsPerPixel == 24) {
            r.Scale[c] = 255.0f / static_cast<float>(channel.Max);
            r.Max[c] = 255;
            r.Shift[c] = 0;
        } else {
            r.Scale[c] = 1.0f;
            r.Max[c] = static_cast<std::int32_t>(channel.Max);
            r.Shift[c] = channel.Shift;
        }
    }
    r.Scale[3] = 0.0f;
    r.Max[3] = 0;
    r.Scaled = r.Scale[0] != 1.0f || r.Scale[1] != 1.0f || r.Scale[2] != 1.0f;
}

AreaScaler::AreaScaler() : tables_(std::make_unique<Tables>()) {}
AreaScaler::~AreaScaler() = default;

const BitmapFormat& AreaScaler::Format() const {
    return tables_->Format;
}

Result<Bitmap> AreaScaler::AllocateOutput(int outputWidth, int outputHeight) const {
    const BitmapFormat& format = Format();
    auto bitmap = AllocateBitmap(outputWidth, outputHeight, format.BitsPerPixel);
    if (bitmap) {
        bitmap.Value().RedMask = format.RedMask;
        bitmap.Value().GreenMask = format.GreenMask;
        bitmap.Value().BlueMask = format.BlueMask;
    }
    return bitmap;
}

Status AreaScaler::Prepare(const PixelLayout& layout, int sourceWidth, int sourceHeight,
                           int outputWidth, int outputHeight) {
    Tables& t = *tables_;
    if (t.Fits(layout, sourceWidth, sourceHeight, outputWidth, outputHeight))
        return std::nullopt;
    t.Ready = false;
    auto format = CheckGeometry(layout, sourceWidth, sourceHeight, outputWidth, outputHeight);
    if (!format)
        return format.Error();

    // Nothing of the previous geometry is kept, its memory neither.
    t = Tables{};
    t.Layout = layout;
    t.Format = *format;
    t.SourceWidth = sourceWidth;
    t.SourceHeight = sourceHeight;
    t.OutputWidth = outputWidth;
    t.OutputHeight = outputHeight;
    if (layout.Kind == PixelKind::Indexed) {
        t.ComputeNearest();
    } else {
        t.ComputeArea();
    }
    t.Ready = true;
    return std::nullopt;
}

// Palette indices cannot be averaged: each output pixel is its nearest source pixel's.
bool AreaScaler::RunIndexed(RowSource& rows, Bitmap& out) {
    Tables& t = *tables_;
    const std::size_t used = static_cast<std::size_t>(t.OutputWidth) *
                             static_cast<std::size_t>(t.Format.BitsPerPixel / 8);
    for (int j = 0; j < t.OutputHeight; ++j) {
        const std::uint8_t* source = rows.Row(t.NearestRow[static_cast<std::size_t>(j)]);
        if (source == nullptr)
            return false;
        std::uint8_t* target = out.Row(j);
        ScalerKernels::PickIndices(source, t.Layout.BitsPerPixel, t.Layout.MsbFirst,
                                   t.NearestColumn.data(), t.OutputWidth, target);
        std::memset(target + used, 0, out.Stride - used);
    }
    return true;
}

bool AreaScaler::Run(RowSource& rows, Bitmap& out) {
    Tables& t = *tables_;
    const std::size_t used = static_cast<std::size_t>(t.OutputWidth) *
                             static_cast<std::size_t>(t.Format.BitsPerPixel / 8);

    if (t.Layout.Kind == PixelKind::Indexed)
        return RunIndexed(rows, out);

    const std::size_t lanes = 4 * static_cast<std::size_t>(t.SourceWidth);
    const ScalerKernels::ByteFolds& folds = ScalerKernels::ChosenByteFolds();
    int decoded = -1;
    for (int j = 0; j < t.OutputHeight; ++j) {
        const std::size_t jj = static_cast<std::size_t>(j);
        const int begin = t.Rows.Offset[jj];
        const int end = t.Rows.Offset[jj + 1];
        for (int k = begin; k < end; ++k) {
            const int y = t.Rows.First[jj] + (k - begin);
            const std::uint8_t* source = rows.Row(y);
            if (source == nullptr)
                return false;
            const std::uint32_t weight = t.Rows.Units[static_cast<std::size_t>(k)];
            const bool assign = k == begin;
            if (t.RawLanes) {
                (assign ? folds.Assign : folds.Add)(t.Accumulator.data(), source, lanes, weight);
            } else if (t.WideLanes) {
                // A row shared by two output rows is decoded once.
                if (decoded != y) {
                    ScalerKernels::DecodeRow(source, t.SourceWidth, t.Layout.BitsPerPixel,
                                             t.Layout.MsbFirst, t.Channels, t.Lanes16.data());
                }
                (assign ? ScalerKernels::AssignWords : ScalerKernels::AddWords)(
                    t.Accumulator.data(), t.Lanes16.data(), lanes, weight);
            } else {
                if (decoded != y) {
                    ScalerKernels::DecodeRow(source, t.SourceWidth, t.Layout.BitsPerPixel,
                                             t.Layout.MsbFirst, t.Channels, t.Lanes8.data());
                }
                (assign ? folds.Assign : folds.Add)(t.Accumulator.data(), t.Lanes8.data(), lanes,
                                                    weight);
            }
            decoded = y;
        }
        std::uint8_t* target = out.Row(j);
        if (t.Format.BitsPerPixel == 24) {
            (t.Reduce.Scaled ? ScalerKernels::ReduceTo24Scaled : ScalerKernels::ReduceTo24)(
                t.Reduce, target);
        } else {
            ScalerKernels::ReduceTo16(t.Reduce, target);
        }
        std::memset(target + used, 0, out.Stride - used);
    }
    return true;
}

Result<Picture> ScalePicture(AreaScaler& scaler, const PixelLayout& layout, int sourceWidth,
                             int sourceHeight, int outputWidth, int outputHeight, RowSource& rows,
                             std::optional<Palette> palette,
                             const std::function<Failure()>& unreadable) {
    if (auto refused = scaler.Prepare(layout, sourceWidth, sourceHeight, outputWidth, outputHeight))
        return *refused;
    auto bitmap = scaler.AllocateOutput(outputWidth, outputHeight);
    if (!bitmap)
        return bitmap.Error();
    if (!scaler.Run(rows, bitmap.Value()))
        return unreadable();
    return CreateBitmapPicture(std::move(bitmap.Value()), std::move(palette));
}

Result<Picture> ScalePicture(AreaScaler& scaler, const PixelLayout& layout, int sourceWidth,
                             int sourceHeight, int outputWidth, int outputHeight,
                             const std::uint8_t* first, std::ptrdiff_t stride) {
    class MemoryRows final : public RowSource {
      public:
        MemoryRows(const std::uint8_t* first, std::ptrdiff_t stride)
            : first_(first), stride_(stride) {}
        const std::uint8_t* Row(int y) override { return first_ + stride_ * y; }

      private:
        const std::uint8_t* first_;
        std::ptrdiff_t stride_;
    } rows(first, stride);
    // Rows in memory are always there to read.
    const auto missingRow = [] {
        return Failure{CANNOT_READ_SCREEN, {}, "a row of the picture was missing"};
    };
    return ScalePicture(scaler, layout, sourceWidth, sourceHeight, outputWidth, outputHeight, rows,
                        std::nullopt, missingRow);
}

}  // namespace KestrelMain
