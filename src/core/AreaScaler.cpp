#include "core/AreaScaler.h"

#include "core/FailureTexts.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

// The two inner loops run over every screen pixel and every output pixel, so they are
// written to become vector code at any optimisation level: the fold of a screen row into
// the accumulator in blocks of fixed length (and by hand for AVX2, where the compiler
// stays at four lanes), the reduction across in the compiler's generic vectors. On x86-64
// the AVX2 versions are picked at run time when the processor has it. Compiler-made
// clones are picked by the loader through an indirect function, which only ELF systems
// have: on Windows those loops stay at the baseline and only the hand-written fold is
// picked at run time.
#if defined(__GNUC__)
#define KESTREL_VECTORS 1
#else
#define KESTREL_VECTORS 0
#endif

#if KESTREL_VECTORS && defined(__x86_64__) && !defined(_WIN32) && defined(__has_attribute)
#if __has_attribute(target_clones)
#define KESTREL_CLONES __attribute__((target_clones("avx2", "default")))
#endif
#endif
#ifndef KESTREL_CLONES
#define KESTREL_CLONES
#endif

#if KESTREL_VECTORS && defined(__x86_64__)
#define KESTREL_AVX2 1
#include <immintrin.h>
#else
#define KESTREL_AVX2 0
#endif

#if KESTREL_VECTORS
#define KESTREL_INLINE inline __attribute__((always_inline))
#else
#define KESTREL_INLINE inline
#endif

namespace KestrelMain {

namespace {

// Channel values stay below 2^15 and vertical weights below 2^16, so an accumulated
// 32-bit lane (weights summing to the source height) stays below 2^31 and converts to
// float as a signed integer.
constexpr int MAX_CHANNEL_BITS = 15;
constexpr int MAX_SIDE = 65535;

struct Channel {
    int Shift = 0;
    int Bits = 0;
    std::uint32_t Max = 0;
};

std::optional<Channel> ChannelOf(std::uint32_t mask) {
    if (mask == 0)
        return std::nullopt;
    const int shift = std::countr_zero(mask);
    const std::uint32_t bits = mask >> shift;
    const int width = std::popcount(bits);
    if (width > MAX_CHANNEL_BITS || bits != (1u << width) - 1u)
        return std::nullopt;
    return Channel{shift, width, bits};
}

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

template <int BitsPerPixel>
KESTREL_INLINE std::uint32_t ReadPixel(const std::uint8_t* row, int x, bool msbFirst) {
    if constexpr (BitsPerPixel == 8) {
        return row[x];
    } else if constexpr (BitsPerPixel == 16) {
        const std::uint8_t* p = row + 2 * static_cast<std::ptrdiff_t>(x);
        return msbFirst ? (std::uint32_t{p[0]} << 8 | p[1]) : (p[0] | std::uint32_t{p[1]} << 8);
    } else if constexpr (BitsPerPixel == 24) {
        const std::uint8_t* p = row + 3 * static_cast<std::ptrdiff_t>(x);
        return msbFirst ? (std::uint32_t{p[0]} << 16 | std::uint32_t{p[1]} << 8 | p[2])
                        : (p[0] | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16);
    } else {
        const std::uint8_t* p = row + 4 * static_cast<std::ptrdiff_t>(x);
        return msbFirst ? (std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 |
                           std::uint32_t{p[2]} << 8 | p[3])
                        : (p[0] | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
                           std::uint32_t{p[3]} << 24);
    }
}

std::uint32_t ReadAnyPixel(const std::uint8_t* row, int x, int bitsPerPixel, bool msbFirst) {
    switch (bitsPerPixel) {
        case 8:
            return ReadPixel<8>(row, x, msbFirst);
        case 16:
            return ReadPixel<16>(row, x, msbFirst);
        case 24:
            return ReadPixel<24>(row, x, msbFirst);
        default:
            return ReadPixel<32>(row, x, msbFirst);
    }
}

// ---- vertical: fold one source row into the accumulator row ------------------------

#if KESTREL_VECTORS
typedef std::int32_t I32x4 __attribute__((vector_size(16)));
typedef std::uint8_t U8x16 __attribute__((vector_size(16)));
typedef float F32x4 __attribute__((vector_size(16)));
#endif

template <bool Assign, class Lane>
KESTREL_INLINE void FoldBody(std::uint32_t* __restrict acc, const Lane* __restrict src,
                             std::size_t count, std::uint32_t weight) {
    // Blocks of a fixed length, which the compiler turns into straight vector code.
    constexpr std::size_t BLOCK = 16;
    std::size_t k = 0;
    for (; k + BLOCK <= count; k += BLOCK) {
        for (std::size_t l = 0; l < BLOCK; ++l) {
            const std::uint32_t product = weight * src[k + l];
            acc[k + l] = Assign ? product : acc[k + l] + product;
        }
    }
    for (; k < count; ++k) {
        const std::uint32_t product = weight * src[k];
        acc[k] = Assign ? product : acc[k] + product;
    }
}

void AssignBytes(std::uint32_t* acc, const std::uint8_t* src, std::size_t count,
                 std::uint32_t weight) {
    FoldBody<true>(acc, src, count, weight);
}
void AddBytes(std::uint32_t* acc, const std::uint8_t* src, std::size_t count,
              std::uint32_t weight) {
    FoldBody<false>(acc, src, count, weight);
}

#if KESTREL_AVX2
// The fold of every screen row, so it is written out for AVX2: eight 32-bit lanes per
// instruction, where the compiler's own vector code stays at four.
template <bool Assign>
__attribute__((target("avx2"))) void FoldBytesAvx2(std::uint32_t* __restrict acc,
                                                   const std::uint8_t* __restrict src,
                                                   std::size_t count, std::uint32_t weight) {
    const __m256i factor = _mm256_set1_epi32(static_cast<int>(weight));
    std::size_t k = 0;
    for (; k + 16 <= count; k += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + k));
        __m256i low = _mm256_mullo_epi32(_mm256_cvtepu8_epi32(bytes), factor);
        __m256i high =
            _mm256_mullo_epi32(_mm256_cvtepu8_epi32(_mm_unpackhi_epi64(bytes, bytes)), factor);
        auto* target = reinterpret_cast<__m256i*>(acc + k);
        if constexpr (!Assign) {
            low = _mm256_add_epi32(low, _mm256_loadu_si256(target));
            high = _mm256_add_epi32(high, _mm256_loadu_si256(target + 1));
        }
        _mm256_storeu_si256(target, low);
        _mm256_storeu_si256(target + 1, high);
    }
    for (; k < count; ++k) {
        const std::uint32_t product = weight * src[k];
        acc[k] = Assign ? product : acc[k] + product;
    }
}
#endif

using FoldBytes = void (*)(std::uint32_t*, const std::uint8_t*, std::size_t, std::uint32_t);

struct ByteFolds {
    FoldBytes Assign;
    FoldBytes Add;
};

const ByteFolds& ChosenByteFolds() {
    static const ByteFolds folds = [] {
#if KESTREL_AVX2
        if (__builtin_cpu_supports("avx2")) {
            return ByteFolds{FoldBytesAvx2<true>, FoldBytesAvx2<false>};
        }
#endif
        return ByteFolds{AssignBytes, AddBytes};
    }();
    return folds;
}

KESTREL_CLONES void AssignWords(std::uint32_t* acc, const std::uint16_t* src, std::size_t count,
                                std::uint32_t weight) {
    FoldBody<true>(acc, src, count, weight);
}
KESTREL_CLONES void AddWords(std::uint32_t* acc, const std::uint16_t* src, std::size_t count,
                             std::uint32_t weight) {
    FoldBody<false>(acc, src, count, weight);
}

// ---- horizontal: reduce the accumulator row into one output row -------------------

struct ReduceArgs {
    const std::uint32_t* Accumulator;  // four lanes per source column: blue, green, red, -
    const std::int32_t* First;         // per output pixel: its first source column
    const float* Weight;               // per output pixel: Taps weights, zero where unused
    int Taps;                          // the same for every output pixel, so loops predict
    int OutputWidth;
    bool Scaled;          // whether Scale differs from one
    float Scale[4];       // accumulated mean to output units, per lane
    std::int32_t Max[4];  // largest output value per lane
    int Shift[3];         // 16 bits per pixel: blue, green, red positions
};

// Scaled: the output channels differ in width from the screen's (24-bit output of a
// 6-6-6 or 10-10-10 screen), so each lane is rescaled. Otherwise the mean is already in
// output units and at most the channel maximum (the weights sum to one).
template <int OutBits, int FixedTaps, bool Scaled>
KESTREL_INLINE void ReduceBody(const ReduceArgs& a, std::uint8_t* __restrict out) {
    const int taps = FixedTaps > 0 ? FixedTaps : a.Taps;
    for (int i = 0; i < a.OutputWidth; ++i) {
        const std::uint32_t* column = a.Accumulator + 4 * static_cast<std::ptrdiff_t>(a.First[i]);
        const float* weight = a.Weight + static_cast<std::ptrdiff_t>(i) * taps;
#if KESTREL_VECTORS
        F32x4 sum = Scaled ? F32x4{0, 0, 0, 0} : F32x4{0.5f, 0.5f, 0.5f, 0.5f};
        for (int t = 0; t < taps; ++t) {
            I32x4 lanes;
            std::memcpy(&lanes, column + 4 * t, sizeof lanes);
            sum += __builtin_convertvector(lanes, F32x4) * weight[t];
        }
        if constexpr (Scaled) {
            const F32x4 scale = {a.Scale[0], a.Scale[1], a.Scale[2], a.Scale[3]};
            sum = sum * scale + 0.5f;
        }
        const I32x4 max = {a.Max[0], a.Max[1], a.Max[2], a.Max[3]};
        I32x4 q = __builtin_convertvector(sum, I32x4);
        q = q > max ? max : q;
        if constexpr (OutBits == 24) {
            if (i + 1 < a.OutputWidth) {
                // One four-byte store; its last byte is overwritten by the next pixel.
                const U8x16 bytes = reinterpret_cast<U8x16>(q);
                const U8x16 packed = __builtin_shufflevector(bytes, bytes, 0, 4, 8, 12, 0, 0, 0, 0,
                                                             0, 0, 0, 0, 0, 0, 0, 0);
                std::memcpy(out + 3 * static_cast<std::ptrdiff_t>(i), &packed, 4);
                continue;
            }
        }
#else
        float sum[3] = {0, 0, 0};
        for (int t = 0; t < taps; ++t) {
            for (int c = 0; c < 3; ++c) {
                sum[c] +=
                    static_cast<float>(static_cast<std::int32_t>(column[4 * t + c])) * weight[t];
            }
        }
        std::int32_t q[3];
        for (int c = 0; c < 3; ++c) {
            const float scaled = Scaled ? sum[c] * a.Scale[c] : sum[c];
            q[c] = std::min(static_cast<std::int32_t>(scaled + 0.5f), a.Max[c]);
        }
#endif
        if constexpr (OutBits == 24) {
            out[3 * i] = static_cast<std::uint8_t>(q[0]);
            out[3 * i + 1] = static_cast<std::uint8_t>(q[1]);
            out[3 * i + 2] = static_cast<std::uint8_t>(q[2]);
        } else {
            const std::uint32_t pixel = static_cast<std::uint32_t>(q[0]) << a.Shift[0] |
                                        static_cast<std::uint32_t>(q[1]) << a.Shift[1] |
                                        static_cast<std::uint32_t>(q[2]) << a.Shift[2];
            out[2 * i] = static_cast<std::uint8_t>(pixel);
            out[2 * i + 1] = static_cast<std::uint8_t>(pixel >> 8);
        }
    }
}

// The common tap counts get loops the compiler unrolls completely.
template <int OutBits, bool Scaled>
KESTREL_INLINE void ReduceAny(const ReduceArgs& a, std::uint8_t* out) {
    switch (a.Taps) {
        case 1:
            ReduceBody<OutBits, 1, Scaled>(a, out);
            break;
        case 2:
            ReduceBody<OutBits, 2, Scaled>(a, out);
            break;
        case 3:
            ReduceBody<OutBits, 3, Scaled>(a, out);
            break;
        case 4:
            ReduceBody<OutBits, 4, Scaled>(a, out);
            break;
        case 5:
            ReduceBody<OutBits, 5, Scaled>(a, out);
            break;
        case 6:
            ReduceBody<OutBits, 6, Scaled>(a, out);
            break;
        case 7:
            ReduceBody<OutBits, 7, Scaled>(a, out);
            break;
        case 8:
            ReduceBody<OutBits, 8, Scaled>(a, out);
            break;
        default:
            ReduceBody<OutBits, 0, Scaled>(a, out);
            break;
    }
}

KESTREL_CLONES void ReduceTo24(const ReduceArgs& a, std::uint8_t* out) {
    ReduceAny<24, false>(a, out);
}
KESTREL_CLONES void ReduceTo24Scaled(const ReduceArgs& a, std::uint8_t* out) {
    ReduceAny<24, true>(a, out);
}
KESTREL_CLONES void ReduceTo16(const ReduceArgs& a, std::uint8_t* out) {
    ReduceAny<16, false>(a, out);
}

template <int BitsPerPixel, class Lane>
void DecodeRow(const std::uint8_t* row, int width, bool msbFirst, const Channel (&channels)[3],
               Lane* lanes) {
    for (int x = 0; x < width; ++x) {
        const std::uint32_t pixel = ReadPixel<BitsPerPixel>(row, x, msbFirst);
        Lane* out = lanes + 4 * static_cast<std::ptrdiff_t>(x);
        for (int c = 0; c < 3; ++c) {
            out[c] = static_cast<Lane>((pixel >> channels[c].Shift) & channels[c].Max);
        }
        out[3] = 0;
    }
}

template <class Lane>
void DecodeAnyRow(const std::uint8_t* row, int width, int bitsPerPixel, bool msbFirst,
                  const Channel (&channels)[3], Lane* lanes) {
    switch (bitsPerPixel) {
        case 8:
            DecodeRow<8>(row, width, msbFirst, channels, lanes);
            break;
        case 16:
            DecodeRow<16>(row, width, msbFirst, channels, lanes);
            break;
        case 24:
            DecodeRow<24>(row, width, msbFirst, channels, lanes);
            break;
        default:
            DecodeRow<32>(row, width, msbFirst, channels, lanes);
            break;
    }
}

Failure LayoutFailure(const PixelLayout& layout, const char* why) {
    return Failure{CANNOT_READ_SCREEN,
                   {},
                   "unsupported pixel layout (depth " + std::to_string(layout.Depth) + ", " +
                       std::to_string(layout.BitsPerPixel) + " bits per pixel): " + why};
}

}  // namespace

std::size_t PixelLayout::RowBytes(int width) const {
    const std::size_t bits =
        static_cast<std::size_t>(width) * static_cast<std::size_t>(BitsPerPixel);
    const std::size_t pad = static_cast<std::size_t>(ScanlinePad);
    return (bits + pad - 1) / pad * pad / 8;
}

Result<BitmapFormat> ChooseBitmapFormat(const PixelLayout& layout) {
    if (layout.BitsPerPixel != 8 && layout.BitsPerPixel != 16 && layout.BitsPerPixel != 24 &&
        layout.BitsPerPixel != 32) {
        return LayoutFailure(layout, "bits per pixel must be 8, 16, 24 or 32");
    }
    if (layout.ScanlinePad != 8 && layout.ScanlinePad != 16 && layout.ScanlinePad != 32) {
        return LayoutFailure(layout, "rows must be padded to 8, 16 or 32 bits");
    }
    if (layout.Depth < 1 || layout.Depth > layout.BitsPerPixel) {
        return LayoutFailure(layout, "the depth does not fit in a pixel");
    }
    BitmapFormat format;
    if (layout.Kind == VisualKind::Indexed) {
        if (layout.Depth > 8)
            return LayoutFailure(layout, "more than 256 colormap entries");
        format.BitsPerPixel = 8;
        return format;
    }
    const auto red = ChannelOf(layout.RedMask);
    const auto green = ChannelOf(layout.GreenMask);
    const auto blue = ChannelOf(layout.BlueMask);
    if (!red || !green || !blue)
        return LayoutFailure(layout, "a colour mask is not usable");
    const std::uint64_t all = std::uint64_t{layout.RedMask} | layout.GreenMask | layout.BlueMask;
    if (layout.BitsPerPixel < 32 && (all >> layout.BitsPerPixel) != 0) {
        return LayoutFailure(layout, "a colour mask lies outside the pixel");
    }
    if (layout.Depth <= 16 && (all >> 16) == 0) {
        // The screen's own pixels, written as they are: a 16-bit file holds them exactly.
        format.BitsPerPixel = 16;
        format.RedMask = layout.RedMask;
        format.GreenMask = layout.GreenMask;
        format.BlueMask = layout.BlueMask;
        return format;
    }
    format.BitsPerPixel = 24;
    return format;
}

struct AreaScaler::Tables {
    bool Ready = false;
    PixelLayout Layout;
    BitmapFormat Format;
    int SourceWidth = 0;
    int SourceHeight = 0;
    int OutputWidth = 0;
    int OutputHeight = 0;

    // True colour.
    Channel Channels[3];     // blue, green, red: the lane order of a 32-bit BGRX pixel
    bool RawLanes = false;   // the server's bytes already are blue, green, red, pad lanes
    bool WideLanes = false;  // channels wider than 8 bits
    Taps Rows;
    Taps Columns;
    std::vector<std::int32_t> ColumnStart;
    std::vector<float> ColumnWeight;
    std::vector<std::uint32_t> Accumulator;
    std::vector<std::uint8_t> Lanes8;
    std::vector<std::uint16_t> Lanes16;
    ReduceArgs Reduce{};

    // Palette.
    std::vector<std::int32_t> NearestColumn;
    std::vector<std::int32_t> NearestRow;
};

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
    if (t.Ready && t.Layout == layout && t.SourceWidth == sourceWidth &&
        t.SourceHeight == sourceHeight && t.OutputWidth == outputWidth &&
        t.OutputHeight == outputHeight) {
        return std::nullopt;
    }
    t.Ready = false;
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
    auto format = ChooseBitmapFormat(layout);
    if (!format)
        return format.Error();

    t.Layout = layout;
    t.Format = *format;
    t.SourceWidth = sourceWidth;
    t.SourceHeight = sourceHeight;
    t.OutputWidth = outputWidth;
    t.OutputHeight = outputHeight;
    t.Rows = {};
    t.Columns = {};
    t.ColumnStart = {};
    t.ColumnWeight = {};
    t.Accumulator = {};
    t.Lanes8 = {};
    t.Lanes16 = {};
    t.NearestColumn = {};
    t.NearestRow = {};

    if (layout.Kind == VisualKind::Indexed) {
        t.NearestColumn = NearestMap(sourceWidth, outputWidth);
        t.NearestRow = NearestMap(sourceHeight, outputHeight);
        t.Ready = true;
        return std::nullopt;
    }

    t.Channels[0] = *ChannelOf(layout.BlueMask);
    t.Channels[1] = *ChannelOf(layout.GreenMask);
    t.Channels[2] = *ChannelOf(layout.RedMask);
    t.RawLanes = layout.BitsPerPixel == 32 && layout.RedMask == 0xff0000u &&
                 layout.GreenMask == 0x00ff00u && layout.BlueMask == 0x0000ffu &&
                 layout.MsbFirst == (std::endian::native == std::endian::big);
    t.WideLanes = std::max({t.Channels[0].Bits, t.Channels[1].Bits, t.Channels[2].Bits}) > 8;

    t.Rows = ComputeTaps(sourceHeight, outputHeight);
    t.Columns = ComputeTaps(sourceWidth, outputWidth);
    // Every output pixel gets the same number of taps (the most any has), the unused ones
    // with weight zero, starting early enough to stay inside the row. Horizontal weights
    // also divide by the vertical total (the source height), so the result is the mean in
    // the screen's channel units.
    int taps = 1;
    for (int i = 0; i < outputWidth; ++i) {
        const std::size_t ii = static_cast<std::size_t>(i);
        taps = std::max(taps, t.Columns.Offset[ii + 1] - t.Columns.Offset[ii]);
    }
    const double area = static_cast<double>(sourceWidth) * static_cast<double>(sourceHeight);
    t.ColumnStart.resize(static_cast<std::size_t>(outputWidth));
    t.ColumnWeight.assign(static_cast<std::size_t>(outputWidth) * static_cast<std::size_t>(taps),
                          0.0f);
    for (int i = 0; i < outputWidth; ++i) {
        const std::size_t ii = static_cast<std::size_t>(i);
        const int first = t.Columns.First[ii];
        const int start = std::min(first, sourceWidth - taps);
        t.ColumnStart[ii] = start;
        for (int k = t.Columns.Offset[ii]; k < t.Columns.Offset[ii + 1]; ++k) {
            const int column = first + (k - t.Columns.Offset[ii]);
            t.ColumnWeight[ii * static_cast<std::size_t>(taps) +
                           static_cast<std::size_t>(column - start)] =
                static_cast<float>(
                    static_cast<double>(t.Columns.Units[static_cast<std::size_t>(k)]) / area);
        }
    }
    const std::size_t lanes = 4 * static_cast<std::size_t>(sourceWidth);
    t.Accumulator.assign(lanes, 0);
    if (!t.RawLanes) {
        if (t.WideLanes) {
            t.Lanes16.assign(lanes, 0);
        } else {
            t.Lanes8.assign(lanes, 0);
        }
    }

    ReduceArgs& r = t.Reduce;
    r.Accumulator = t.Accumulator.data();
    r.First = t.ColumnStart.data();
    r.Weight = t.ColumnWeight.data();
    r.Taps = taps;
    r.OutputWidth = outputWidth;
    for (int c = 0; c < 3; ++c) {
        const Channel& channel = t.Channels[c];
        if (t.Format.BitsPerPixel == 24) {
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
    t.Ready = true;
    return std::nullopt;
}

// Palette indices cannot be averaged: each output pixel is its nearest source pixel's.
bool AreaScaler::RunIndexed(RowSource& rows, Bitmap& out) {
    Tables& t = *tables_;
    const std::size_t used = static_cast<std::size_t>(t.OutputWidth) *
                             static_cast<std::size_t>(t.Format.BitsPerPixel / 8);
    const bool bytes = t.Layout.BitsPerPixel == 8;
    for (int j = 0; j < t.OutputHeight; ++j) {
        const std::uint8_t* source = rows.Row(t.NearestRow[static_cast<std::size_t>(j)]);
        if (source == nullptr)
            return false;
        std::uint8_t* target = out.Row(j);
        for (int i = 0; i < t.OutputWidth; ++i) {
            const std::int32_t x = t.NearestColumn[static_cast<std::size_t>(i)];
            target[i] = bytes ? source[x]
                              : static_cast<std::uint8_t>(ReadAnyPixel(
                                    source, x, t.Layout.BitsPerPixel, t.Layout.MsbFirst));
        }
        std::memset(target + used, 0, out.Stride - used);
    }
    return true;
}

bool AreaScaler::Run(RowSource& rows, Bitmap& out) {
    Tables& t = *tables_;
    const std::size_t used = static_cast<std::size_t>(t.OutputWidth) *
                             static_cast<std::size_t>(t.Format.BitsPerPixel / 8);

    if (t.Layout.Kind == VisualKind::Indexed)
        return RunIndexed(rows, out);

    const std::size_t lanes = 4 * static_cast<std::size_t>(t.SourceWidth);
    const ByteFolds& folds = ChosenByteFolds();
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
                    DecodeAnyRow(source, t.SourceWidth, t.Layout.BitsPerPixel, t.Layout.MsbFirst,
                                 t.Channels, t.Lanes16.data());
                }
                (assign ? AssignWords : AddWords)(t.Accumulator.data(), t.Lanes16.data(), lanes,
                                                  weight);
            } else {
                if (decoded != y) {
                    DecodeAnyRow(source, t.SourceWidth, t.Layout.BitsPerPixel, t.Layout.MsbFirst,
                                 t.Channels, t.Lanes8.data());
                }
                (assign ? folds.Assign : folds.Add)(t.Accumulator.data(), t.Lanes8.data(), lanes,
                                                    weight);
            }
            decoded = y;
        }
        std::uint8_t* target = out.Row(j);
        if (t.Format.BitsPerPixel == 24) {
            (t.Reduce.Scaled ? ReduceTo24Scaled : ReduceTo24)(t.Reduce, target);
        } else {
            ReduceTo16(t.Reduce, target);
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
