// Where the plug-in looks for its resource module in the host world: the
// driver directory's subfolder 3, joined with the build's path separator.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "frame/module.h"
#include "platform/host/world.h"
#include "platform/os.h"

inline std::string HostResourceModulePath() {
  const char separator = os::kPathSeparator;
  return host::TheWorld().driverDirectory + separator + "3" + separator + "KLMV47Ar.dll";
}

// A fresh host world, the module detached before and after each test.
struct DetachedModuleTest : ::testing::Test {
  void SetUp() override {
    host::ResetWorld();
    frame::OnProcessDetach();
  }
  void TearDown() override {
    frame::OnProcessDetach();
    host::ResetWorld();
  }
};
