// Start to first window: from exec to the first paint of the main window, beside the floor of a
// bare QMainWindow with a status bar, in the same run. Each sample starts this program again as a
// child ("--child main" or "--child floor") and waits for the line it writes at its first paint.
// The platform is the environment's: QT_QPA_PLATFORM=offscreen, or xcb with DISPLAY (Xvfb).
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>
#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/AppProfile.h"
#include "app/qt/MainForm.h"
#include "platform/Registry.h"
#include "ui/UiHosts.h"

extern char** environ;

namespace {

// At the first paint of the watched window: the line, then out at once.
class FirstPaint final : public QObject {
 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && watched->isWidgetType()) {
      std::fputs("painted\n", stdout);
      std::fflush(stdout);
      std::_Exit(0);
    }
    return QObject::eventFilter(watched, event);
  }
};

int RunChild(int argc, char** argv, bool mainWindow) {
  QApplication app(argc, argv);
  FirstPaint watcher;
  if (mainWindow) {
    std::setlocale(LC_NUMERIC, "C");
    tf::InstallUiHosts();
    tf::AppProfile().LoadAll();
    tf::SMainFormStart start;
    auto* form = new tf::TMainForm(start);
    form->installEventFilter(&watcher);
    form->show();
  } else {
    auto* window = new QMainWindow;
    window->setWindowTitle("floor");
    window->setCentralWidget(new QLabel("floor"));
    window->statusBar()->showMessage("ready");
    window->resize(632, 450);
    window->installEventFilter(&watcher);
    window->show();
  }
  return app.exec();
}

std::vector<double> gMain;
std::vector<double> gFloor;

// Milliseconds from spawning the child to its line.
double StartOnce(const char* kind) {
  int out[2];
  if (pipe(out) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  std::string self = "/proc/self/exe";
  char* args[] = {self.data(), const_cast<char*>("--child"), const_cast<char*>(kind), nullptr};
  const auto begin = std::chrono::steady_clock::now();
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, "/proc/self/exe", &actions, nullptr, args, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  if (spawned != 0) {
    close(out[0]);
    return -1;
  }
  char buffer[64];
  const ssize_t n = read(out[0], buffer, sizeof buffer);
  const auto end = std::chrono::steady_clock::now();
  close(out[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (n <= 0) return -1;
  return std::chrono::duration<double, std::milli>(end - begin).count();
}

void Start(benchmark::State& state, const char* kind, std::vector<double>& samples) {
  for (auto _ : state) {
    const double ms = StartOnce(kind);
    if (ms < 0) {
      state.SkipWithError("the child did not paint");
      return;
    }
    samples.push_back(ms);
    state.SetIterationTime(ms / 1000.0);
  }
}

void BM_StartFloor(benchmark::State& state) { Start(state, "floor", gFloor); }
void BM_StartMainWindow(benchmark::State& state) { Start(state, "main", gMain); }
BENCHMARK(BM_StartFloor)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);
BENCHMARK(BM_StartMainWindow)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::strcmp(argv[1], "--child") == 0) {
    return RunChild(argc, argv, std::strcmp(argv[2], "main") == 0);
  }
  // The children keep their settings in a folder of their own.
  char folder[] = "/tmp/tf-bench-start-XXXXXX";
  if (mkdtemp(folder) != nullptr) setenv("XDG_CONFIG_HOME", folder, 1);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  const double floor = Median(gFloor);
  const double main = Median(gMain);
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  std::printf("\nstart to first paint (%s), medians: main window %.1f ms, floor %.1f ms, ratio %.2fx\n",
              platform != nullptr ? platform : "default", main, floor, floor > 0 ? main / floor : 0.0);
  std::string remove = std::string("rm -rf ") + folder;
  return std::system(remove.c_str()) == 0 ? 0 : 0;
}
