// velanta-bench: runs every registered benchmark, then prints the registered ratios.
#include "bench/bench_ratio.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string_view>
#include <vector>

namespace {

// The console output as usual, plus each run's real time per iteration by name.
class RecordingReporter : public benchmark::ConsoleReporter {
public:
  // No colour codes: the "figure" and "ratio" lines must start their lines.
  RecordingReporter() : ConsoleReporter(OO_Tabular) {}
  void ReportRuns(const std::vector<Run> &runs) override {
    for (const Run &run : runs)
      if (run.run_type == Run::RT_Iteration)
        seconds[run.benchmark_name()] = run.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> seconds;
};

} // namespace

int main(int argc, char **argv) {
  // --quick: the 10^5 catalogue set only.
  std::vector<char *> args(argv, argv + argc);
  static char quickFilter[] = "--benchmark_filter=1e5|QtWindow";
  for (char *&arg : args)
    if (std::string_view(arg) == "--quick") arg = quickFilter;
  argc = static_cast<int>(args.size());
  argv = args.data();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RecordingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (const auto &ratio : velanta::bench::ratios()) {
    const auto a = reporter.seconds.find(ratio.numerator);
    const auto b = reporter.seconds.find(ratio.denominator);
    if (a == reporter.seconds.end() || b == reporter.seconds.end() || b->second <= 0) continue;
    std::printf("ratio %-45s %8.2f  (%s / %s)\n", ratio.title.c_str(), a->second / b->second,
                ratio.numerator.c_str(), ratio.denominator.c_str());
  }
  benchmark::Shutdown();
  return 0;
}
