// The scaler's loops over pixels, for core/AreaScaler.cpp alone: each call does one whole
// row, so the scaler's own code runs once per row and these loops keep their vector code.
#pragma once

#include "core/PixelLayout.h"

#include <cstddef>
#include <cstdint>

namespace KestrelMain::ScalerKernels {

// ---- vertical: fold one source row into the accumulator row ------------------------
// acc[k] = weight * src[k] (Assign) or acc[k] += weight * src[k] (Add), for `count` lanes.

using FoldBytes = void (*)(std::uint32_t* acc, const std::uint8_t* src, std::size_t count,
                           std::uint32_t weight);

struct ByteFolds {
    FoldBytes Assign;
    FoldBytes Add;
};

// The fastest byte folds this processor runs, chosen once.
const ByteFolds& ChosenByteFolds();

void AssignWords(std::uint32_t* acc, const std::uint16_t* src, std::size_t count,
                 std::uint32_t weight);
void AddWords(std::uint32_t* acc, const std::uint16_t* src, std::size_t count,
              std::uint32_t weight);

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

// One output row from the finished accumulator row; Scaled where the output channels
// differ in width from the source's.
void ReduceTo24(const ReduceArgs& a, std::uint8_t* out);
void ReduceTo24Scaled(const ReduceArgs& a, std::uint8_t* out);
void ReduceTo16(const ReduceArgs& a, std::uint8_t* out);

// ---- rows in the source's layout ---------------------------------------------------

// A row of `width` pixels as blue, green, red and zero lanes, one per channel value.
void DecodeRow(const std::uint8_t* row, int width, int bitsPerPixel, bool msbFirst,
               const Channel (&channels)[3], std::uint8_t* lanes);
void DecodeRow(const std::uint8_t* row, int width, int bitsPerPixel, bool msbFirst,
               const Channel (&channels)[3], std::uint16_t* lanes);

// out[i] = the palette index of the pixel at columns[i], for `count` output pixels.
void PickIndices(const std::uint8_t* row, int bitsPerPixel, bool msbFirst,
                 const std::int32_t* columns, int count, std::uint8_t* out);

}  // namespace KestrelMain::ScalerKernels
