#include "testkit/AreaReference.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace TestKit {

std::vector<std::vector<ExactAreaAverage::Tap>> ExactAreaAverage::Overlaps(int source, int output) {
    std::vector<std::vector<Tap>> taps(static_cast<std::size_t>(output));
    const double step = static_cast<double>(source) / static_cast<double>(output);
    for (int i = 0; i < output; ++i) {
        const double low = static_cast<double>(i) * step;
        const double high = static_cast<double>(i + 1) * step;
        const int first = static_cast<int>(std::floor(low));
        const int last = std::min(source - 1, static_cast<int>(std::ceil(high)) - 1);
        for (int c = first; c <= last; ++c) {
            const double overlap = std::min(high, c + 1.0) - std::max(low, static_cast<double>(c));
            if (overlap > 1e-12)
                taps[static_cast<std::size_t>(i)].push_back(Tap{c, overlap});
        }
    }
    return taps;
}

ExactAreaAverage::ExactAreaAverage(int sourceWidth, int sourceHeight, int outputWidth,
                                   int outputHeight)
    : sourceWidth_(sourceWidth),
      sourceHeight_(sourceHeight),
      outputWidth_(outputWidth),
      outputHeight_(outputHeight),
      columns_(Overlaps(sourceWidth, outputWidth)),
      rowsOfSource_(static_cast<std::size_t>(sourceHeight)),
      rowSums_(3 * static_cast<std::size_t>(outputWidth)),
      sums_(3 * static_cast<std::size_t>(outputWidth) * static_cast<std::size_t>(outputHeight)) {
    const auto rows = Overlaps(sourceHeight, outputHeight);
    for (int j = 0; j < outputHeight; ++j) {
        for (const Tap& tap : rows[static_cast<std::size_t>(j)])
            rowsOfSource_[static_cast<std::size_t>(tap.Index)].push_back(Tap{j, tap.Weight});
    }
}

void ExactAreaAverage::AddRow(int y, const std::uint32_t* pixels) {
    for (int i = 0; i < outputWidth_; ++i) {
        double sum[3] = {0, 0, 0};
        for (const Tap& tap : columns_[static_cast<std::size_t>(i)]) {
            const std::uint32_t pixel = pixels[tap.Index];
            sum[0] += tap.Weight * static_cast<double>(pixel >> 16 & 0xffu);
            sum[1] += tap.Weight * static_cast<double>(pixel >> 8 & 0xffu);
            sum[2] += tap.Weight * static_cast<double>(pixel & 0xffu);
        }
        std::copy(sum, sum + 3, rowSums_.begin() + 3 * i);
    }
    for (const Tap& tap : rowsOfSource_[static_cast<std::size_t>(y)]) {
        double* target = sums_.data() + 3 * static_cast<std::size_t>(tap.Index) *
                                            static_cast<std::size_t>(outputWidth_);
        for (std::size_t k = 0; k < rowSums_.size(); ++k) target[k] += tap.Weight * rowSums_[k];
    }
}

double ExactAreaAverage::Mean(int x, int y, int channel) const {
    const double area = static_cast<double>(sourceWidth_) / outputWidth_ *
                        (static_cast<double>(sourceHeight_) / outputHeight_);
    return sums_[(static_cast<std::size_t>(y) * static_cast<std::size_t>(outputWidth_) +
                  static_cast<std::size_t>(x)) *
                     3 +
                 static_cast<std::size_t>(channel)] /
           area;
}

Quality Compare(const BmpImage& image, const ExactAreaAverage& reference) {
    Quality quality;
    if (!image.Error.empty()) {
        quality.Error = image.Error;
        return quality;
    }
    if (image.Width != reference.OutputWidth() || image.Height != reference.OutputHeight()) {
        quality.Error = "the picture is " + std::to_string(image.Width) + "x" +
                        std::to_string(image.Height) + ", not the size asked for";
        return quality;
    }
    double squares = 0;
    double squaresUnrounded = 0;
    for (int y = 0; y < image.Height; ++y) {
        for (int x = 0; x < image.Width; ++x) {
            for (int c = 0; c < 3; ++c) {
                const double mean = reference.Mean(x, y, c);
                const double rounded = std::clamp(std::floor(mean + 0.5), 0.0, 255.0);
                const Rgb pixel = image.At(x, y);
                const double value = c == 0 ? pixel.Red : c == 1 ? pixel.Green : pixel.Blue;
                squares += (value - rounded) * (value - rounded);
                squaresUnrounded += (value - mean) * (value - mean);
                quality.MaxError =
                    std::max(quality.MaxError, static_cast<int>(std::fabs(value - rounded)));
            }
        }
    }
    const double samples = 3.0 * image.Width * image.Height;
    const auto psnr = [&](double sum) {
        return sum == 0 ? std::numeric_limits<double>::infinity()
                        : 10.0 * std::log10(255.0 * 255.0 / (sum / samples));
    };
    quality.Psnr = psnr(squares);
    quality.PsnrUnrounded = psnr(squaresUnrounded);
    return quality;
}

}  // namespace TestKit
