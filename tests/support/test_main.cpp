// Test main for tests without a Qt application object.
#include <gtest/gtest.h>

#include "test_environment.h"

int main(int argc, char** argv) {
  orva::test::TestEnvironment environment;
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
