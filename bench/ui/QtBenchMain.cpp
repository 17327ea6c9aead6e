// The main of the window benchmarks: an application on the offscreen platform (unless one is
// chosen), a fixed locale so that texts are comparable, then every benchmark.

#include <benchmark/benchmark.h>

#include <QLocale>
#include <cstdlib>

#include "TVorlentApplication.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  TVorlentApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
