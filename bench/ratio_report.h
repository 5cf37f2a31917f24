#pragma once
// Runs the registered benchmarks and prints, after Google Benchmark's own output, a table of
// each case's median time beside its baseline's, with the ratio and the goal.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace wqt::bench {

struct RatioRow {
  std::string label;
  std::string caseName;      // benchmark name of the measured case
  std::string baselineName;  // benchmark name of its baseline
  double goal;               // highest acceptable ratio
};

// Keeps the median real time of every benchmark, in seconds.
class MedianCollector : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
      const double seconds =
          run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
      medians[run.run_name.function_name] = seconds;
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> medians;
};

inline std::string formatTime(double seconds) {
  char buf[32];
  if (seconds >= 1e-1) {
    std::snprintf(buf, sizeof buf, "%.1f ms", seconds * 1e3);
  } else if (seconds >= 1e-3) {
    std::snprintf(buf, sizeof buf, "%.2f ms", seconds * 1e3);
  } else {
    std::snprintf(buf, sizeof buf, "%.1f us", seconds * 1e6);
  }
  return buf;
}

// Prints the table; returns how many rows missed their goal (or could not be measured).
inline int printRatioTable(const MedianCollector& c, const std::vector<RatioRow>& rows) {
  int missed = 0;
  std::printf("\n%-44s %12s %12s %8s %6s  %s\n", "Case", "measured", "baseline", "ratio", "goal",
              "result");
  for (const RatioRow& row : rows) {
    const auto m = c.medians.find(row.caseName);
    const auto b = c.medians.find(row.baselineName);
    if (m == c.medians.end() || b == c.medians.end() || b->second <= 0) {
      std::printf("%-44s %12s %12s %8s %5.1fx  %s\n", row.label.c_str(), "-", "-", "-", row.goal,
                  "not measured");
      ++missed;
      continue;
    }
    const double ratio = m->second / b->second;
    const bool met = ratio <= row.goal;
    if (!met) ++missed;
    std::printf("%-44s %12s %12s %7.2fx %5.1fx  %s\n", row.label.c_str(),
                formatTime(m->second).c_str(), formatTime(b->second).c_str(), ratio, row.goal,
                met ? "met" : "MISSED");
  }
  return missed;
}

}  // namespace wqt::bench
