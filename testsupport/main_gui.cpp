#include <gtest/gtest.h>

#include <QApplication>

#include "testsupport/sandbox.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  tarn::testsupport::installSandbox();
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
