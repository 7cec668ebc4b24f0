// The end-to-end cases run the recorder and the application as child
// processes against a simulated unit in this process, and the application's
// view in this process on the offscreen platform. Local time is UTC here and
// in every child, so the dated folders a case expects do not depend on the
// machine's time zone.
#include <gtest/gtest.h>

#include <QApplication>

#include <cstdlib>
#include <ctime>

int main(int argc, char** argv) {
  setenv("TZ", "UTC0", 1);
  tzset();
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
