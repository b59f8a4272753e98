// What the capture should have produced, computed without any of its code: the exact mean
// of the screen area each output pixel covers, in double precision, and the comparison
// of a saved BMP file against it.
#pragma once

#include "testkit/BmpReader.h"

#include <cstdint>
#include <string>
#include <vector>

namespace TestKit {

// Fed the source rows (0xRRGGBB pixels) in any order, each exactly once.
class ExactAreaAverage {
  public:
    ExactAreaAverage(int sourceWidth, int sourceHeight, int outputWidth, int outputHeight);

    void AddRow(int y, const std::uint32_t* pixels);

    int OutputWidth() const { return outputWidth_; }
    int OutputHeight() const { return outputHeight_; }
    // Red, green and blue of output pixel (x, y), in 8-bit units, not rounded.
    double Mean(int x, int y, int channel) const;

  private:
    struct Tap {
        int Index;      // the other axis' pixel
        double Weight;  // the part of a source pixel inside the output pixel
    };
    static std::vector<std::vector<Tap>> Overlaps(int source, int output);

    int sourceWidth_;
    int sourceHeight_;
    int outputWidth_;
    int outputHeight_;
    std::vector<std::vector<Tap>> columns_;       // per output column: source columns
    std::vector<std::vector<Tap>> rowsOfSource_;  // per source row: output rows
    std::vector<double> rowSums_;                 // one source row reduced across
    std::vector<double> sums_;
};

struct Quality {
    std::string Error;
    double Psnr = 0;           // against the exact mean rounded to 8 bits; infinite when equal
    double PsnrUnrounded = 0;  // against the exact mean itself (8-bit rounding included)
    int MaxError = 0;          // largest channel difference from the rounded mean
};

// Any BMP the reader decodes: its pixels are compared as 8-bit red, green and blue.
Quality Compare(const BmpImage& image, const ExactAreaAverage& reference);

}  // namespace TestKit
