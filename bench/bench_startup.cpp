// A second start of the program handing two files to the running instance, exec to exit, beside
// the floor: exec of a minimal program that makes a QApplication and ends (bench/QtFloor.cpp).
// This process holds the instance lock and answers with the program's own server (offscreen).
// Goal: the hand-off within 1.5 times the floor.
#include <benchmark/benchmark.h>

#include "BenchSupport.h"

#include <QApplication>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "platform/qt/SingleInstanceQt.h"

namespace {

int g_opened = 0;

// Runs the program to its end, serving events meanwhile; false when it did not end well.
bool RunToExit(const QString& program, const QStringList& arguments, int expectedStatus) {
  QProcess process;
  QEventLoop loop;
  QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
  process.start(program, arguments);
  if (!process.waitForStarted(10000)) return false;
  if (process.state() != QProcess::NotRunning) loop.exec();
  return process.exitStatus() == QProcess::NormalExit && process.exitCode() == expectedStatus;
}

void BM_SecondStartHandsTwoFilesOver(benchmark::State& state) {
  const int before = g_opened;
  for (auto _ : state) {
    if (!RunToExit(QStringLiteral(TF_PROGRAM_PATH), {"/tmp/one.tfi", "-t5", "/tmp/two.tfi"}, 1)) {
      state.SkipWithError("the second start did not end as it should");
      return;
    }
  }
  if (g_opened - before != 2 * static_cast<int>(state.iterations())) state.SkipWithError("files were lost");
}
BENCHMARK(BM_SecondStartHandsTwoFilesOver)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

void BM_FloorQApplicationStart(benchmark::State& state) {
  for (auto _ : state) {
    if (!RunToExit(QStringLiteral(TF_FLOOR_PATH), {}, 0)) {
      state.SkipWithError("the floor program failed");
      return;
    }
  }
}
BENCHMARK(BM_FloorQApplicationStart)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  setenv("QT_ENABLE_HIGHDPI_SCALING", "0", 1);
  QApplication app(argc, argv);
  tf::QtInstanceHost instance;
  if (instance.TakeInstanceLock() != 1 || instance.Server() == nullptr) {
    std::fprintf(stderr, "bench_startup: another instance holds the lock of this display\n");
    return 1;
  }
  instance.Server()->SetReceiver([](const std::string&) { ++g_opened; }, [] {});
  benchmark::Initialize(&argc, argv);
  tf::TimeRatioReporter reporter("BM_SecondStartHandsTwoFilesOver", "BM_FloorQApplicationStart", 1.5, "ms");
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
