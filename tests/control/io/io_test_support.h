// Shared setup of the control's I/O tests: the libraries the tests create
// by ProgID are registered into the test's own registry once per process.
#pragma once

#include <gtest/gtest.h>

#include "vex/com/class_registry.h"

namespace vex::control::test {

class IoLibraries : public ::testing::Environment {
 public:
  void SetUp() override {
    ASSERT_EQ(com::RegisterServer(VEX8100RESLIB_PATH), com::S_OK);
#ifdef VEXIOUTILS_PATH
    ASSERT_EQ(com::RegisterServer(VEXIOUTILS_PATH), com::S_OK);
    ASSERT_EQ(com::RegisterServer(VEXSIMBUS_PATH), com::S_OK);
#endif
#ifdef VEX9100TB_PATH
    ASSERT_EQ(com::RegisterServer(VEX9100TB_PATH), com::S_OK);
#endif
  }
};

}  // namespace vex::control::test
