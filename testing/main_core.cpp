#include <gtest/gtest.h>

#include <QCoreApplication>

#include "testing/sandbox.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  tarn::testing::installSandbox();
  QCoreApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
