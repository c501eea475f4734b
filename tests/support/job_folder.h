// What the whole-job tests share: a job setting that must be taken, and a
// folder of the test's own under the temporary folder, empty when made and
// gone with its contents when dropped.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "job_settings.h"
#include "platform/os.h"

namespace testing_support {

inline void Set(labeljob::JobSettings* job, const std::string& assignment) {
  std::string error;
  ASSERT_TRUE(labeljob::ApplySetting(assignment, job, &error)) << error;
}

// Named by its tag and the process, so that two test runs never share one.
class JobFolder {
 public:
  explicit JobFolder(const std::string& tag)
      : path_(std::filesystem::temp_directory_path() /
              (tag + "-" + std::to_string(os::CurrentProcessId()))) {
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~JobFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  JobFolder(const JobFolder&) = delete;
  JobFolder& operator=(const JobFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string string() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};

}  // namespace testing_support
