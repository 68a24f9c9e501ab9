#include <gtest/gtest.h>

#include <QCoreApplication>

#include "testsupport/sandbox.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  tarn::testsupport::installSandbox();
  QCoreApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
