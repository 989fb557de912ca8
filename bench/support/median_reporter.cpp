#include "median_reporter.h"

#include <algorithm>

namespace orvelle::bench {

namespace {

std::string NameOf(const benchmark::BenchmarkReporter::Run& run) {
  const benchmark::BenchmarkName& name = run.run_name;
  return name.args.empty() ? name.function_name : name.function_name + "/" + name.args;
}

double SecondsPerIteration(const benchmark::BenchmarkReporter::Run& run) {
  const bool wallClock = run.run_name.time_type.find("real_time") != std::string::npos;
  const double adjusted = wallClock ? run.GetAdjustedRealTime() : run.GetAdjustedCPUTime();
  return adjusted / benchmark::GetTimeUnitMultiplier(run.time_unit);
}

double MedianOf(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

}  // namespace

void MedianReporter::ReportRuns(const std::vector<Run>& runs) {
  ConsoleReporter::ReportRuns(runs);
  for (const Run& run : runs) {
    if (run.error_occurred) continue;
    Samples& samples = samples_[NameOf(run)];
    if (run.run_type == Run::RT_Iteration) {
      if (run.iterations > 0) samples.repetitions.push_back(SecondsPerIteration(run));
    } else if (run.aggregate_name == "median" && run.aggregate_unit == benchmark::kTime) {
      samples.reportedMedian = SecondsPerIteration(run);
    }
  }
}

std::optional<double> MedianReporter::MedianSeconds(const std::string& name) const {
  const auto found = samples_.find(name);
  if (found == samples_.end()) return std::nullopt;
  const Samples& samples = found->second;
  if (samples.reportedMedian) return samples.reportedMedian;
  if (samples.repetitions.empty()) return std::nullopt;
  return MedianOf(samples.repetitions);
}

std::optional<double> MedianReporter::Speedup(const std::string& ours, const std::string& reference) const {
  const std::optional<double> oursSeconds = MedianSeconds(ours);
  const std::optional<double> referenceSeconds = MedianSeconds(reference);
  if (!oursSeconds || !referenceSeconds || *oursSeconds <= 0) return std::nullopt;
  return *referenceSeconds / *oursSeconds;
}

}  // namespace orvelle::bench
