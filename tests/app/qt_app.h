#pragma once

#include <QApplication>

namespace qm::testing {

// One application object for the whole test binary, on the platform the environment names
// (offscreen under CTest).
inline QApplication& QtApp() {
  static int argc = 1;
  static char name[] = "app_tests";
  static char* argv[] = {name, nullptr};
  static QApplication app(argc, argv);
  return app;
}

}  // namespace qm::testing
