#include "core/ScalerKernels.h"

#include <algorithm>
#include <cstring>

// The two inner loops run over every source pixel and every output pixel, so they are
// written to become vector code at any optimisation level: the fold of a source row into
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

namespace KestrelMain::ScalerKernels {

namespace {

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

#if KESTREL_VECTORS
typedef std::int32_t I32x4 __attribute__((vector_size(16)));
typedef std::uint8_t U8x16 __attribute__((vector_size(16)));
typedef float F32x4 __attribute__((vector_size(16)));
#endif

// ---- vertical ----------------------------------------------------------------------

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
// The fold of every source row, so it is written out for AVX2: eight 32-bit lanes per
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

// ---- horizontal --------------------------------------------------------------------

// Scaled: the output channels differ in width from the source's (24-bit output of a
// 6-6-6 or 10-10-10 source), so each lane is rescaled. Otherwise the mean is already in
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

// ---- rows in the source's layout ---------------------------------------------------

template <int BitsPerPixel, class Lane>
void DecodePixels(const std::uint8_t* row, int width, bool msbFirst, const Channel (&channels)[3],
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
            DecodePixels<8>(row, width, msbFirst, channels, lanes);
            break;
        case 16:
            DecodePixels<16>(row, width, msbFirst, channels, lanes);
            break;
        case 24:
            DecodePixels<24>(row, width, msbFirst, channels, lanes);
            break;
        default:
            DecodePixels<32>(row, width, msbFirst, channels, lanes);
            break;
    }
}

}  // namespace

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

KESTREL_CLONES void ReduceTo24(const ReduceArgs& a, std::uint8_t* out) {
    ReduceAny<24, false>(a, out);
}
KESTREL_CLONES void ReduceTo24Scaled(const ReduceArgs& a, std::uint8_t* out) {
    ReduceAny<24, true>(a, out);
}
KESTREL_CLONES void ReduceTo16(const ReduceArgs& a, std::uint8_t* out) {
    ReduceAny<16, false>(a, out);
}

void DecodeRow(const std::uint8_t* row, int width, int bitsPerPixel, bool msbFirst,
               const Channel (&channels)[3], std::uint8_t* lanes) {
    DecodeAnyRow(row, width, bitsPerPixel, msbFirst, channels, lanes);
}
void DecodeRow(const std::uint8_t* row, int width, int bitsPerPixel, bool msbFirst,
               const Channel (&channels)[3], std::uint16_t* lanes) {
    DecodeAnyRow(row, width, bitsPerPixel, msbFirst, channels, lanes);
}

void PickIndices(const std::uint8_t* row, int bitsPerPixel, bool msbFirst,
                 const std::int32_t* columns, int count, std::uint8_t* out) {
    const bool bytes = bitsPerPixel == 8;
    for (int i = 0; i < count; ++i) {
        const std::int32_t x = columns[i];
        out[i] = bytes ? row[x]
                       : static_cast<std::uint8_t>(ReadAnyPixel(row, x, bitsPerPixel, msbFirst));
    }
}

}  // namespace KestrelMain::ScalerKernels
