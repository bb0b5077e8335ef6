// Ratios between benchmarks, printed after the run: a file registers
//   static const velanta::bench::Ratio r("pxlib / ours, full scan", "BM_PxlibScan", "BM_Scan");
// and main.cpp prints numerator time / denominator time (real time per iteration).
#pragma once

#include <string>
#include <vector>

namespace velanta::bench {

struct RatioSpec {
  std::string title;
  std::string numerator;
  std::string denominator;
};

inline std::vector<RatioSpec> &ratios() {
  static std::vector<RatioSpec> all;
  return all;
}

struct Ratio {
  Ratio(std::string title, std::string numerator, std::string denominator) {
    ratios().push_back({std::move(title), std::move(numerator), std::move(denominator)});
  }
};

} // namespace velanta::bench
