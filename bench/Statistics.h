// The benchmarks' figures: milliseconds, medians, percentiles, and numbers as the results
// table prints them.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace Bench {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration d);

// NaN for no values.
double Median(std::vector<double> values);

// Nearest rank; NaN for no values.
double Percentile(std::vector<double> values, double fraction);

// With that many decimals; "n/a" for NaN, "inf" for infinity.
std::string Fixed(double value, int decimals);

}  // namespace Bench
