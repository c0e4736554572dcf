// Test main for tests that need a Qt application object: one QApplication
// for the whole run, destroyed before the process exits.
#include <gtest/gtest.h>

#include <QApplication>

#include "test_environment.h"

int main(int argc, char** argv) {
  orva::test::TestEnvironment environment;
  int result = 0;
  {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    result = RUN_ALL_TESTS();
  }
  return result;
}
