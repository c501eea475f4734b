// A file read whole whose buffer cannot be had: size -2, nothing returned,
// and the next read of the same file works.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "diag/files.h"
#include "platform/host/faults.h"
#include "platform/host/world.h"
#include "platform/os.h"

namespace {

TEST(ReadWholeFileHost, BufferThatCannotBeHadGivesMinusTwo) {
  const auto path = std::filesystem::temp_directory_path() /
                    ("lr-read-whole-" + std::to_string(os::CurrentProcessId()) + ".bin");
  std::ofstream(path, std::ios::binary) << "held label";
  const std::u16string wide = host::FromUtf8(path.string());

  host::ResetFaults();
  host::TheFaults().failAllocation = 0;
  std::int64_t size = 0;
  EXPECT_FALSE(diag::ReadWholeFile(*os::File::Open(wide, os::File::Mode::kRead), &size));
  EXPECT_TRUE(host::TheFaults().fired);
  EXPECT_EQ(size, -2);
  host::ResetFaults();

  diag::FileBytes bytes = diag::ReadWholeFile(*os::File::Open(wide, os::File::Mode::kRead), &size);
  ASSERT_TRUE(bytes);
  EXPECT_EQ(size, 10);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.get()), 10), "held label");
  std::filesystem::remove(path);
}

}  // namespace
