#pragma once
// Runs the registered benchmarks and prints, after Google Benchmark's own output, a table of
// each case's fastest repetition beside its baseline's, with the ratio and the goal.
//
// Every benchmark runs many short repetitions, and the repetitions of all benchmarks of a program
// run in a random order, so a case and its baseline take turns through the whole run. The
// fastest repetition is the one the rest of the machine disturbed least: comparing fastest with
// fastest keeps a ratio steady from run to run where medians of back-to-back blocks wander with
// whatever else the machine was doing at the time of each block.
#include <benchmark/benchmark.h>

#include <algorithm>
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

inline double fastestOf(const std::vector<double>& v) {
  return v.empty() ? 0 : *std::min_element(v.begin(), v.end());
}

// Makes `b` one side of a pair: `repetitions` repetitions of `iterations` iterations each, whose
// fastest is reported as the aggregate "min" (--benchmark_out keeps every repetition). Short
// repetitions of a fixed length give more chances of a quiet one, and no repetition is spent
// finding how many iterations fill some time.
inline benchmark::internal::Benchmark* paired(benchmark::internal::Benchmark* b, int repetitions,
                                              int iterations) {
  return b->Repetitions(repetitions)
      ->Iterations(iterations)
      ->ComputeStatistics("min", fastestOf)
      ->DisplayAggregatesOnly(true);
}

// Google Benchmark's Initialize with the repetitions of all benchmarks interleaved at random;
// a --benchmark_enable_random_interleaving on the command line still has the last word.
inline void initializeInterleaved(int* argc, char** argv) {
  static char interleave[] = "--benchmark_enable_random_interleaving=true";
  static std::vector<char*> args;
  args.assign(argv, argv + *argc);
  args.insert(args.begin() + (args.empty() ? 0 : 1), interleave);
  int n = static_cast<int>(args.size());
  args.push_back(nullptr);
  benchmark::Initialize(&n, args.data());
  // Initialize leaves only the arguments it did not take; none of ours are left for the caller.
  *argc = n;
  for (int i = 0; i <= n; ++i) argv[i] = args[static_cast<std::size_t>(i)];
}

// Keeps the real time of every benchmark's fastest repetition, in seconds: from the "min"
// aggregate, or from the repetitions themselves when they are reported.
class FastestCollector : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "min") continue;
      const double seconds =
          run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
      const auto [it, fresh] = fastest.try_emplace(run.run_name.function_name, seconds);
      if (!fresh) it->second = std::min(it->second, seconds);
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> fastest;
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
inline int printRatioTable(const FastestCollector& c, const std::vector<RatioRow>& rows) {
  int missed = 0;
  std::printf("\nFastest repetition of each side, the sides interleaved:\n");
  std::printf("%-44s %12s %12s %8s %6s  %s\n", "Case", "measured", "baseline", "ratio", "goal",
              "result");
  for (const RatioRow& row : rows) {
    const auto m = c.fastest.find(row.caseName);
    const auto b = c.fastest.find(row.baselineName);
    if (m == c.fastest.end() || b == c.fastest.end() || b->second <= 0) {
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
