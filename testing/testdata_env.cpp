// Compiled into every test program: tells its tests where their data files are.
#include <cstdlib>

namespace {
const int kTestDataEnv = [] {
  ::setenv("TARNRQ_TEST_DATA", TARNRQ_TEST_DATA_DIR, 0);
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  ::setenv("TARNRQ_AUTOANSWER", "0", 1);  // tests script their answers; a caller's setting must not leak in
  return 0;
}();
}  // namespace
