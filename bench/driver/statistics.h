#pragma once
// Medians and quartiles of a series of samples. Failed samples are NaN and
// are left out, so one lost start does not shift the rest.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace bench {

struct Summary {
  std::size_t count = 0;
  double median = NAN;
  double lowerQuartile = NAN;
  double upperQuartile = NAN;
};

// Percentile by linear interpolation between the closest ranks.
inline double Percentile(const std::vector<double>& sorted, double fraction) {
  const double position = fraction * static_cast<double>(sorted.size() - 1);
  const std::size_t below = static_cast<std::size_t>(position);
  const std::size_t above = std::min(below + 1, sorted.size() - 1);
  return sorted[below] + (sorted[above] - sorted[below]) * (position - static_cast<double>(below));
}

inline Summary Summarise(const std::vector<double>& samples) {
  std::vector<double> sorted;
  for (double sample : samples)
    if (!std::isnan(sample)) sorted.push_back(sample);
  Summary summary;
  summary.count = sorted.size();
  if (sorted.empty()) return summary;
  std::sort(sorted.begin(), sorted.end());
  summary.median = Percentile(sorted, 0.5);
  summary.lowerQuartile = Percentile(sorted, 0.25);
  summary.upperQuartile = Percentile(sorted, 0.75);
  return summary;
}

// Companion sample over baseline sample of the same round; NaN where either
// is missing or the baseline's is zero.
inline std::vector<double> PairRatios(const std::vector<double>& companion,
                                      const std::vector<double>& baseline) {
  std::vector<double> ratios;
  for (std::size_t i = 0; i < companion.size() && i < baseline.size(); ++i) {
    const bool usable = !std::isnan(companion[i]) && !std::isnan(baseline[i]) && baseline[i] != 0;
    ratios.push_back(usable ? companion[i] / baseline[i] : NAN);
  }
  return ratios;
}

}  // namespace bench
