// A fresh folder under the temporary folder, made and named through os.h,
// unique to the test program and removed with its contents when it ends.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include "platform/os.h"

namespace testing_support {

class ScratchFolder : public ::testing::Environment {
 public:
  // The folder's path; empty when it could not be made.
  const std::u16string& Root() {
    if (root_.empty()) {
      std::optional<std::u16string> name = os::GetTempFileName(os::GetTempPath(), u"lrt");
      if (name && os::DeleteFile(*name) && os::CreateDirectory(*name)) root_ = *name;
    }
    return root_;
  }
  void TearDown() override {
    std::error_code ignored;
    if (!root_.empty()) std::filesystem::remove_all(std::filesystem::path(root_), ignored);
  }

  // Registers one for the program; gtest owns it.
  static ScratchFolder* Register() {
    return static_cast<ScratchFolder*>(::testing::AddGlobalTestEnvironment(new ScratchFolder));
  }

 private:
  std::u16string root_;
};

}  // namespace testing_support
