#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace orvelle::bench {

// A console reporter that also keeps each benchmark's time per iteration, so that a program
// can print ratios against its reference after the table. A benchmark's figure is the median
// of its repetitions: Google Benchmark's own "median" aggregate when it reports one, otherwise
// the median of the repetitions reported (a single run is its own median). Means, standard
// deviations and coefficients of variation are never taken for a time.
//
// Benchmarks registered with UseRealTime() are timed by the wall clock, the others by CPU
// time, the same rule Google Benchmark applies to its rates.
class MedianReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override;

  // The median time per iteration, in seconds, of the benchmark named as in the table
  // (function name, then "/" and the arguments when there are any); nullopt when it did not
  // run or failed.
  std::optional<double> MedianSeconds(const std::string& name) const;

  // Reference time over our time, both medians: above 1 ours is faster.
  std::optional<double> Speedup(const std::string& ours, const std::string& reference) const;

 private:
  struct Samples {
    std::optional<double> reportedMedian;
    std::vector<double> repetitions;
  };
  std::map<std::string, Samples> samples_;
};

}  // namespace orvelle::bench
