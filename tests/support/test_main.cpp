// Every unit-test program runs with the subsystems connected as in the
// runtime's own process.
#include <gtest/gtest.h>

#include "host/subsystems.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  qavz::ConnectSubsystems();
  return RUN_ALL_TESTS();
}
