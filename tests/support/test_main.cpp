// Main of every GoogleTest executable: the tests run in UTC unless a test
// sets another zone, so expected dates do not depend on the machine.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

int main(int argc, char** argv) {
  setenv("TZ", "UTC", 1);
  tzset();
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
