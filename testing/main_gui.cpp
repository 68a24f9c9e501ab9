#include <gtest/gtest.h>

#include <QApplication>

#include "testing/sandbox.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  tarn::testing::installSandbox();
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
