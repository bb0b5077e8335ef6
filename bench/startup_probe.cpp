// velanta-bench's helper process: started fresh for every start-up measurement, so that the
// figure covers the whole process (loading, the application object, the window, the tables,
// the first document) up to the first paint of the text view.
//
//   velanta-empty-window-probe empty T0            an empty Qt window, for comparison (the
//                                                  same file built with Qt Widgets alone)
//   velanta-empty-window-probe text T0             the same window showing one line of text
//   velanta-startup-probe catalogue DIR T0 [--interact]
//
// T0 is the parent's CLOCK_MONOTONIC in nanoseconds just before it started this process.
// Prints "startup_ms X"; with --interact then times the interactions over the catalogue in
// DIR and prints one "NAME VALUE" line each, ending with the process's peak memory.
#ifndef VELANTA_EMPTY_WINDOW_ONLY
#include "toolkit/application.h"
#include "ui/tform1.h"
#endif

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QTextEdit>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

double monotonicMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// Quits the event loop once `target` (or a widget inside it) has been painted.
class FirstPaint : public QObject {
public:
  explicit FirstPaint(QWidget *target) : target_(target) {}
  bool eventFilter(QObject *watched, QEvent *event) override {
    if (!painted_ && event->type() == QEvent::Paint && watched->isWidgetType() &&
        (watched == target_ || target_->isAncestorOf(static_cast<QWidget *>(watched)))) {
      painted_ = true;
      QTimer::singleShot(0, qApp, &QCoreApplication::quit); // after this paint completes
    }
    return false;
  }

private:
  QWidget *target_;
  bool painted_ = false;
};

double peakRssMb() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmHWM:", 0) == 0) return std::atof(line.c_str() + 6) / 1024.0;
  return 0;
}

#ifndef VELANTA_EMPTY_WINDOW_ONLY
double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

// One user action, then the frame it causes (posted updates painted), timed.
template <typename Action> double frame(Action action) {
  const double start = monotonicMs();
  action();
  QCoreApplication::processEvents();
  return monotonicMs() - start;
}

void pressKey(QWidget *target, Qt::Key key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QCoreApplication::sendEvent(target, &press);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
  QCoreApplication::sendEvent(target, &release);
}

void interact(TForm1 &form) {
  auto &docs = *form.Table1;
  auto &kinds = *form.Table2;
  const int kindCount = kinds.recordCount();

  std::vector<double> kindChanges;
  for (int i = 0; i < 20 && i + 1 < kindCount; ++i)
    kindChanges.push_back(frame([&] { pressKey(form.DBCtrlGrid1, Qt::Key_Down); }));
  // Kinds far apart as well (a press in the list after scrolling).
  for (int i = 0; i < 10; ++i) {
    const int recNo = 1 + (i * 7919) % kindCount;
    kindChanges.push_back(frame([&] { kinds.setRecNo(recNo); }));
  }

  // Down held through the whole current kind, one frame per step.
  const int inKind = docs.recordCount();
  std::vector<double> steps;
  const double heldStart = monotonicMs();
  for (int i = 1; i < inKind; ++i)
    steps.push_back(frame([&] { pressKey(form.DBCtrlGrid2, Qt::Key_Down); }));
  const double held = monotonicMs() - heldStart;

  std::vector<double> posts;
  auto *name = docs.fieldByName(QStringLiteral("Name"));
  const QString original = name->asString();
  for (int i = 0; i < 10; ++i)
    posts.push_back(frame([&] {
      docs.edit();
      docs.setFieldText(name, i % 2 == 0 ? original + QStringLiteral(" (изм.)") : original);
      docs.post();
    }));

  // The text view lays out what is visible within the frame and the rest of a long document
  // afterwards, in steps between events: the longest step is the longest a key press can
  // wait. The synthetic catalogue's last kind holds its 200 KB bodies.
  kinds.setRecNo(kindCount);
  QCoreApplication::processEvents();
  double longestStep = 0;
  for (const double until = monotonicMs() + 1500; monotonicMs() < until;) {
    const double start = monotonicMs();
    QCoreApplication::processEvents();
    longestStep = std::max(longestStep, monotonicMs() - start);
    usleep(500);
  }

  std::printf("kind_change_ms %.3f\n", median(kindChanges));
  std::printf("kind_change_max_ms %.3f\n",
              *std::max_element(kindChanges.begin(), kindChanges.end()));
  std::printf("doc_change_ms %.3f\n", median(steps));
  std::printf("doc_change_max_ms %.3f\n",
              steps.empty() ? 0 : *std::max_element(steps.begin(), steps.end()));
  std::printf("down_through_kind_ms %.3f\n", held);
  std::printf("down_through_kind_steps %d\n", int(steps.size()));
  std::printf("post_name_ms %.3f\n", median(posts));
  std::printf("background_layout_step_max_ms %.3f\n", longestStep);
}
#endif

} // namespace

int main(int argc, char **argv) {
  if (argc < 3) return 2;
  const std::string mode = argv[1];
  const bool catalogue = mode == "catalogue";
  if (catalogue && (argc < 4 || chdir(argv[2]) != 0)) return 2;
  const double t0 = std::strtod(argv[catalogue ? 3 : 2], nullptr) / 1e6;
  const bool interactToo = catalogue && argc > 4 && std::string(argv[4]) == "--interact";
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");

  if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
    // A private one of our own, so that Qt neither warns nor guesses (both cost time).
    const QByteArray runtime = "/tmp/velanta-bench-runtime-" + QByteArray::number(getuid());
    mkdir(runtime.constData(), 0700);
    struct stat info {};
    if (stat(runtime.constData(), &info) == 0 && info.st_uid == getuid() &&
        (info.st_mode & 0777) == 0700)
      qputenv("XDG_RUNTIME_DIR", runtime);
  }

#ifdef VELANTA_EMPTY_WINDOW_ONLY
  if (catalogue) return 2;
  QApplication application(argc, argv);
  QWidget *form = nullptr;
#else
  toolkit::TApplication application(argc, argv);
  TForm1 *form = nullptr;
#endif
  const double applicationReady = monotonicMs();
  std::unique_ptr<QWidget> window;
  QWidget *target = nullptr;
#ifndef VELANTA_EMPTY_WINDOW_ONLY
  if (catalogue) {
    auto made = std::make_unique<TForm1>();
    form = made.get();
    target = form->DBRichEdit1;
    window = std::move(made);
  } else
#endif
      if (mode == "text") {
    window = std::make_unique<QLabel>(QStringLiteral("Договор поставки № 1"));
    target = window.get();
  } else {
    window = std::make_unique<QWidget>();
    target = window.get();
  }
  const double windowMade = monotonicMs();
  FirstPaint watcher(target);
  application.installEventFilter(&watcher);
  window->show();
  QCoreApplication::exec();
  const double painted = monotonicMs();
  std::printf("startup_ms %.3f\n", painted - t0);
  // Where the time went: loading and the application object, the window (with the tables and
  // the first document read), showing and the first paint (layout included).
  std::printf("phase_application_ms %.3f\n", applicationReady - t0);
  std::printf("phase_window_ms %.3f\n", windowMade - applicationReady);
  std::printf("phase_first_paint_ms %.3f\n", painted - windowMade);
  application.removeEventFilter(&watcher);
#ifndef VELANTA_EMPTY_WINDOW_ONLY
  if (interactToo) interact(*form);
#else
  (void)form;
  (void)interactToo;
#endif
  std::printf("peak_rss_mb %.1f\n", peakRssMb());
  std::fflush(stdout);
  _exit(0); // the figures are out; closing the window and tables is not measured
}
