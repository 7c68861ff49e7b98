#pragma once

// Helpers shared by the benchmark programs: sample data, the pixel-rate counters and a console
// reporter that keeps every run's rate for a summary against the peer at the end.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace tf {

// xorshift64: steps s and returns it; callers take the bits they want.
inline uint64_t XorShift64(uint64_t& s) {
  s ^= s << 13;
  s ^= s >> 7;
  s ^= s << 17;
  return s;
}

// Resident bytes of the process (from /proc/self/statm); ifUnknown when it cannot be read.
inline int64_t ResidentBytes(int64_t ifUnknown = -1) {
  FILE* f = std::fopen("/proc/self/statm", "r");
  if (!f) return ifUnknown;
  long size = 0, resident = 0;
  const int n = std::fscanf(f, "%ld %ld", &size, &resident);
  std::fclose(f);
  return n == 2 ? static_cast<int64_t>(resident) * sysconf(_SC_PAGESIZE) : ifUnknown;
}

// Pixels (items), bytes (when bytesPerPixel is not 0) and "Mpix/s" for pixelsPerIteration
// pixels handled in every iteration.
inline void SetPixelRate(benchmark::State& state, double pixelsPerIteration, int bytesPerPixel = 4) {
  const double pixels = static_cast<double>(state.iterations()) * pixelsPerIteration;
  state.SetItemsProcessed(static_cast<int64_t>(pixels));
  if (bytesPerPixel != 0) state.SetBytesProcessed(static_cast<int64_t>(pixels * bytesPerPixel));
  state.counters["Mpix/s"] = benchmark::Counter(pixels / 1e6, benchmark::Counter::kIsRate);
}

// Console output that also keeps the "Mpix/s" of every run, by name, for Finalize to compare.
// With repetitions a name's rate is the median of its runs so far.
class RateReporter : public benchmark::ConsoleReporter {
 public:
  RateReporter() : ConsoleReporter(isatty(fileno(stdout)) ? OO_ColorTabular : OO_Tabular) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      auto it = run.counters.find("Mpix/s");
      if (it == run.counters.end() || run.run_type != Run::RT_Iteration) continue;
      const std::string name = RateName(run);
      std::vector<double>& seen = samples_[name];
      seen.push_back(it->second.value);
      std::vector<double> sorted = seen;
      std::sort(sorted.begin(), sorted.end());
      const size_t n = sorted.size();
      rates_[name] = n % 2 == 1 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
    }
  }

 protected:
  // The name a run's rate is kept under.
  virtual std::string RateName(const Run& run) const { return run.benchmark_name(); }

  std::map<std::string, double> rates_;

 private:
  std::map<std::string, std::vector<double>> samples_;
};

// Each run's rate as a share of BM_Memcpy's (the peer: memcpy of the same bytes), after the table.
class MemcpyRatioReporter : public RateReporter {
 public:
  // heading: the line above the list, followed by memcpy's rate.
  explicit MemcpyRatioReporter(const char* heading) : heading_(heading) {}
  void Finalize() override {
    ConsoleReporter::Finalize();
    auto ceiling = rates_.find("BM_Memcpy/real_time");
    if (ceiling == rates_.end() || ceiling->second <= 0) return;
    std::printf("\n%s (%.0f Mpix/s):\n", heading_, ceiling->second);
    for (const auto& [name, rate] : rates_)
      if (name != ceiling->first)
        std::printf("  %-40s %8.0f Mpix/s  %.3f of memcpy\n", name.c_str(), rate, rate / ceiling->second);
  }

 private:
  const char* heading_;
};

// After the table: the real time of one benchmark against its floor's (another benchmark of the
// same run), with the goal the ratio should stay within.
class TimeRatioReporter : public benchmark::ConsoleReporter {
 public:
  // unit: the unit both benchmarks report their times in.
  TimeRatioReporter(const char* work, const char* floor, double goal, const char* unit)
      : work_(work), floor_(floor), unit_(unit), goal_(goal) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration && run.iterations > 0)
        times_[run.run_name.function_name] = run.GetAdjustedRealTime();
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    const double work = times_[work_], floor = times_[floor_];
    if (work > 0 && floor > 0)
      std::printf("\n%s: %.3g %s, %s: %.3g %s; ratio %.2f (goal within %.1f)\n", work_.c_str(), work, unit_.c_str(),
                  floor_.c_str(), floor, unit_.c_str(), work / floor, goal_);
  }

 private:
  std::string work_, floor_, unit_;
  double goal_;
  std::map<std::string, double> times_;
};

// The usual main: runs the benchmarks the command line selects through reporter.
inline int RunBenchmarks(int argc, char** argv, benchmark::BenchmarkReporter& reporter) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}

}  // namespace tf
