// The catalogue at scale: synthetic catalogues of 10^3, 10^4 and 10^5 documents (made once
// under the temp directory), with start-up to the first painted document as a whole process,
// the interactions of browsing and editing, peak memory, the documents table's full scan
// beside pxlib's and beside merely reading the file, and RTF to plain text on a real-sized
// body. Besides the usual table it prints "figure NAME VALUE UNIT" and "ratio NAME VALUE"
// lines for reading by machine.
#include "bench/synthetic_catalogue.h"

#include "catalogue/catalogue_files.h"
#include "paradox/table.h"
#include "richtext/rtf_reader.h"

#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QString>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#ifdef VELANTA_BENCH_PXLIB
#include "bench/pxlib_scan.h"
#endif

extern char **environ;

namespace {

namespace fs = std::filesystem;
using namespace velanta::paradox;

std::map<std::string, double> &results() {
  static std::map<std::string, double> all;
  return all;
}

void figure(const std::string &name, double value, const char *unit) {
  results()[name] = value;
  std::printf("figure %s %.3f %s\n", name.c_str(), value, unit);
  std::fflush(stdout);
}

void ratio(const std::string &name, const std::string &numerator, const std::string &denominator) {
  const auto a = results().find(numerator);
  const auto b = results().find(denominator);
  if (a == results().end() || b == results().end() || b->second <= 0) return;
  std::printf("ratio %s %.2f\n", name.c_str(), a->second / b->second);
  std::fflush(stdout);
}

std::string sizeTag(int documents) {
  return documents == 1000 ? "1e3" : documents == 10000 ? "1e4" : "1e5";
}

fs::path probePath(const std::string &mode) {
  return fs::read_symlink("/proc/self/exe").parent_path() /
         (mode == "catalogue" ? "velanta-startup-probe" : "velanta-empty-window-probe");
}

// Runs the probe and returns its "NAME VALUE" lines.
std::map<std::string, double> runProbe(std::vector<std::string> args) {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  const long long t0 = static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
  args.insert(args.begin(), probePath(args.front()).string());
  args.insert(args.begin() + (args[1] == "catalogue" ? 3 : 2), std::to_string(t0));
  std::vector<char *> argv;
  for (std::string &arg : args)
    argv.push_back(arg.data());
  argv.push_back(nullptr);
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
  posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
  pid_t pid = 0;
  const int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  std::string output;
  char buffer[4096];
  for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof buffer)) > 0;)
    output.append(buffer, static_cast<std::size_t>(n));
  close(pipeFds[0]);
  if (failed != 0) return {};
  int status = 0;
  waitpid(pid, &status, 0);
  std::map<std::string, double> values;
  std::size_t start = 0;
  for (std::size_t end; (end = output.find('\n', start)) != std::string::npos; start = end + 1) {
    const std::string line = output.substr(start, end - start);
    const std::size_t space = line.find(' ');
    if (space != std::string::npos)
      values[line.substr(0, space)] = std::atof(line.c_str() + space + 1);
  }
  return values;
}

double nowMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// The phases of the last start-up measured (see the probe).
std::map<std::string, double> &lastPhases() {
  static std::map<std::string, double> phases;
  return phases;
}

double medianStartup(const std::vector<std::string> &args, benchmark::State &state) {
  std::vector<double> times;
  for (auto _ : state) {
    const auto values = runProbe(args);
    const auto found = values.find("startup_ms");
    if (found == values.end()) {
      state.SkipWithError("the probe did not report a start-up");
      return 0;
    }
    times.push_back(found->second);
    lastPhases() = values;
    state.SetIterationTime(found->second / 1e3);
  }
  std::sort(times.begin(), times.end());
  return times.empty() ? 0 : times[times.size() / 2];
}

void BM_EmptyQtWindowStartup(benchmark::State &state) {
  figure("startup_empty_qt_ms", medianStartup({"empty"}, state), "ms");
}
BENCHMARK(BM_EmptyQtWindowStartup)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

// The same window with one line of Cyrillic text: the least any window with text pays (the
// font database read through fontconfig, a font matched and loaded).
void BM_TextQtWindowStartup(benchmark::State &state) {
  figure("startup_text_qt_ms", medianStartup({"text"}, state), "ms");
  ratio("startup_text_vs_empty_qt", "startup_text_qt_ms", "startup_empty_qt_ms");
}
BENCHMARK(BM_TextQtWindowStartup)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_CatalogueStartup(benchmark::State &state) {
  const int documents = static_cast<int>(state.range(0));
  const std::string dir = velanta::bench::syntheticCatalogue(documents).string();
  runProbe({"catalogue", dir}); // the files into the page cache, as on a second start
  const std::string tag = sizeTag(documents);
  figure("startup_ms_" + tag, medianStartup({"catalogue", dir}, state), "ms");
  for (const char *phase : {"phase_application_ms", "phase_window_ms", "phase_first_paint_ms"})
    std::printf("startup %s %s %.3f\n", tag.c_str(), phase, lastPhases()[phase]);
  ratio("startup_vs_empty_qt_" + tag, "startup_ms_" + tag, "startup_empty_qt_ms");
}

void BM_CatalogueInteraction(benchmark::State &state) {
  const int documents = static_cast<int>(state.range(0));
  const std::string dir = velanta::bench::syntheticCatalogue(documents).string();
  std::map<std::string, double> values;
  for (auto _ : state) {
    values = runProbe({"catalogue", dir, "--interact"});
    state.SetIterationTime(values["down_through_kind_ms"] / 1e3);
  }
  const std::string tag = sizeTag(documents);
  figure("kind_change_ms_" + tag, values["kind_change_ms"], "ms");
  figure("kind_change_max_ms_" + tag, values["kind_change_max_ms"], "ms");
  figure("doc_change_ms_" + tag, values["doc_change_ms"], "ms");
  figure("doc_change_max_ms_" + tag, values["doc_change_max_ms"], "ms");
  figure("down_through_kind_ms_" + tag, values["down_through_kind_ms"], "ms");
  figure("post_name_ms_" + tag, values["post_name_ms"], "ms");
  figure("background_layout_step_max_ms_" + tag, values["background_layout_step_max_ms"], "ms");
  figure("peak_rss_mb_" + tag, values["peak_rss_mb"], "MB");
}

// The .DB file's bytes read in 64 KB pieces (from the page cache after the first pass).
void BM_CatalogueReadBytes(benchmark::State &state) {
  const int documents = static_cast<int>(state.range(0));
  const std::string path =
      (velanta::bench::syntheticCatalogue(documents) / catalogue::kDocumentsFile).string();
  std::vector<char> buffer(64 * 1024);
  const double start = nowMs();
  for (auto _ : state) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    std::size_t total = 0;
    for (ssize_t n; (n = ::read(fd, buffer.data(), buffer.size())) > 0;)
      total += static_cast<std::size_t>(n);
    ::close(fd);
    benchmark::DoNotOptimize(total);
  }
  figure("read_db_bytes_ms", (nowMs() - start) / double(state.iterations()), "ms");
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(fs::file_size(path)));
}

// Our full scan: open the (protected) table, every field of every record decoded.
void BM_CatalogueScan(benchmark::State &state) {
  const int documents = static_cast<int>(state.range(0));
  const std::string dir = velanta::bench::syntheticCatalogue(documents).string();
  std::size_t records = 0;
  const double start = nowMs();
  for (auto _ : state) {
    OpenOptions options;
    options.access = AccessMode::kReadOnly;
    options.passwords = {catalogue::kTablePassword};
    auto table = Table::open(dir, catalogue::kDocumentsFile, options);
    if (!table) {
      state.SkipWithError("cannot open base.db");
      return;
    }
    auto cursor = (*table)->openCursor();
    std::size_t checksum = 0;
    records = 0;
    const int fields = static_cast<int>((*table)->fields().size());
    for (auto s = (*cursor)->first(); (*cursor)->recordNumber() != 0; s = (*cursor)->next()) {
      ++records;
      for (int i = 0; i < fields; ++i) {
        const Value value = (*cursor)->value(i);
        checksum += value.index();
        if (const auto *text = std::get_if<Text>(&value)) checksum += text->bytes.size();
      }
      if ((*cursor)->eof() || (*cursor)->recordNumber() == (*cursor)->recordCount()) break;
    }
    benchmark::DoNotOptimize(checksum);
  }
  figure("scan_ms", (nowMs() - start) / double(state.iterations()), "ms");
  ratio("scan_over_read", "scan_ms", "read_db_bytes_ms");
  state.counters["records"] = double(records);
}

#ifdef VELANTA_BENCH_PXLIB
// Without the .MB pxlib reports every memo it cannot complete; not printing that is fair.
void quietPxlib(pxdoc_t *, int, const char *, void *) {}

// pxlib's full scan of the same .DB: every record retrieved as values (the memo fields as
// their in-record part: no .MB attached, so both sides read the same file).
void BM_CataloguePxlibScan(benchmark::State &state) {
  const int documents = static_cast<int>(state.range(0));
  const std::string db =
      (velanta::bench::syntheticCatalogue(documents) / catalogue::kDocumentsFile).string();
  int records = 0;
  const double start = nowMs();
  for (auto _ : state) {
    pxdoc_t *doc = PX_new2(quietPxlib, nullptr, nullptr, nullptr);
    PX_open_file(doc, db.c_str());
    records = PX_get_num_records(doc);
    const std::size_t checksum = pxlibScanRecords(doc);
    PX_close(doc);
    PX_delete(doc);
    benchmark::DoNotOptimize(checksum);
  }
  figure("scan_pxlib_ms", (nowMs() - start) / double(state.iterations()), "ms");
  ratio("scan_pxlib_over_ours", "scan_pxlib_ms", "scan_ms");
  state.counters["records"] = records;
}
#endif

// RTF to plain text in-process on the largest body of the catalogue (200 KB).
void BM_CatalogueRtfToText(benchmark::State &state) {
  const std::string body =
      velanta::bench::syntheticBody(999, velanta::bench::syntheticBodySize(999));
  const QByteArray rtf = QByteArray::fromStdString(body);
  QString text;
  const double start = nowMs();
  for (auto _ : state) {
    velanta::richtext::rtfToPlainText(rtf, text);
    benchmark::DoNotOptimize(text.size());
  }
  const double seconds = (nowMs() - start) / 1e3;
  figure("rtf_text_mb_per_s", double(rtf.size()) * double(state.iterations()) / 1e6 / seconds,
         "MB/s");
  std::printf("figure office_suite_conversion not_installed -\n");
  state.SetBytesProcessed(state.iterations() * rtf.size());
}

#ifdef VELANTA_TOOL_PATH
// Runs a command with its output thrown away; its wall time in milliseconds, or a negative
// value when it could not be started or failed.
double timedRun(std::vector<std::string> args) {
  std::vector<char *> argv;
  for (std::string &arg : args)
    argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const double start = nowMs();
  pid_t pid = 0;
  const int failed = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  const double elapsed = nowMs() - start;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? elapsed : -1;
}

double medianRun(const std::vector<std::string> &args, int runs) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    const double ms = timedRun(args);
    if (ms < 0) return -1;
    times.push_back(ms);
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

// The largest body converted to plain text by a whole process: velanta-tool rtf2text, and
// unrtf on the same file when it is installed.
void BM_CatalogueRtf2TextProcess(benchmark::State &state) {
  const fs::path file = fs::temp_directory_path() / "velanta-bench-largest-body.rtf";
  std::ofstream(file, std::ios::binary)
      << velanta::bench::syntheticBody(999, velanta::bench::syntheticBodySize(999));
  double ours = 0;
  for (auto _ : state) {
    ours = medianRun({VELANTA_TOOL_PATH, "rtf2text", file.string()}, 15);
    if (ours < 0) {
      state.SkipWithError("velanta-tool rtf2text failed");
      return;
    }
    state.SetIterationTime(ours / 1e3);
  }
  figure("rtf2text_process_ms", ours, "ms");
  const double unrtf = medianRun({"unrtf", "--text", file.string()}, 15);
  if (unrtf < 0) {
    std::printf("figure unrtf_process_ms not_installed -\n");
  } else {
    figure("unrtf_process_ms", unrtf, "ms");
    std::printf("ratio rtf2text_over_unrtf %.2f\n", ours / unrtf);
  }
}
#endif

// Registered per size in the order the ratios need them; "1e5" in every name of the 10^5
// set (velanta-bench --quick runs those only).
const bool registered = [] {
  for (const int documents : {1000, 10000, 100000}) {
    const std::string tag = "_" + sizeTag(documents);
    benchmark::RegisterBenchmark(("BM_CatalogueStartup" + tag).c_str(), BM_CatalogueStartup)
        ->Arg(documents)
        ->UseManualTime()
        ->Iterations(5)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("BM_CatalogueInteraction" + tag).c_str(), BM_CatalogueInteraction)
        ->Arg(documents)
        ->UseManualTime()
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
  }
  const int documents = 100000;
  benchmark::RegisterBenchmark("BM_CatalogueReadBytes_1e5", BM_CatalogueReadBytes)
      ->Arg(documents)
      ->Iterations(20)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("BM_CatalogueScan_1e5", BM_CatalogueScan)
      ->Arg(documents)
      ->Iterations(5)
      ->Unit(benchmark::kMillisecond);
#ifdef VELANTA_BENCH_PXLIB
  benchmark::RegisterBenchmark("BM_CataloguePxlibScan_1e5", BM_CataloguePxlibScan)
      ->Arg(documents)
      ->Iterations(3)
      ->Unit(benchmark::kMillisecond);
#endif
  benchmark::RegisterBenchmark("BM_CatalogueRtfToText_1e5", BM_CatalogueRtfToText)
      ->Iterations(50)
      ->Unit(benchmark::kMillisecond);
#ifdef VELANTA_TOOL_PATH
  benchmark::RegisterBenchmark("BM_CatalogueRtf2TextProcess_1e5", BM_CatalogueRtf2TextProcess)
      ->UseManualTime()
      ->Iterations(1)
      ->Unit(benchmark::kMillisecond);
#endif
  return true;
}();

} // namespace
