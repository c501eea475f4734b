// The held label of crop print: written once through the crop page writer,
// and its file gone afterwards whatever the file held.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "capture/page_out.h"
#include "output/page_writer.h"
#include "platform/host/world.h"
#include "support/host_job.h"

namespace {

using testing_support::HostJob;

std::vector<std::uint8_t> LabelFile(std::uint32_t width, std::uint32_t height, size_t bytes) {
  std::vector<std::uint8_t> file(8 + bytes, 0);
  std::memcpy(file.data(), &width, 4);
  std::memcpy(file.data() + 4, &height, 4);
  return file;
}

TEST(HeldLabel, WrittenWhenWholeDroppedOtherwiseAndNeverLeftBehind) {
  struct Case {
    const char* what;
    bool exists;
    std::vector<std::uint8_t> file;
    bool printed;
  } cases[] = {
      {"a whole label", true, LabelFile(8, 2, 16), true},
      {"padded rows of an odd width", true, LabelFile(5, 3, 24), true},
      {"missing", false, {}, false},
      {"shorter than its size", true, {1, 0, 0, 0}, false},
      {"a size larger than its bytes", true, LabelFile(100, 100, 50), false},
      {"one row short", true, LabelFile(5, 3, 23), false},
  };
  for (const Case& c : cases) {
    testing_support::ResetProcess();
    HostJob job;
    job.record.horizontalScale = job.record.verticalScale = 1000;
    job.Enable();
    output::CropWorkingCopy working{job.publicDm, job.record};
    working.record.mediaSettings.mmLabelWidth = 50.0f;
    working.record.mediaSettings.mmLabelLength = 30.0f;
    const auto path = std::filesystem::path(host::TheWorld().tempDirectory) / "driver_held.tmp";
    if (c.exists) {
      std::ofstream(path, std::ios::binary)
          .write(reinterpret_cast<const char*>(c.file.data()),
                 static_cast<std::streamsize>(c.file.size()));
    }
    const std::u16string wide = host::FromUtf8(path.string());
    std::copy(wide.begin(), wide.end(), job.record.heldLabelPath);

    capture::WriteHeldLabel(&working, nullptr, &job.devobj, false);
    const std::string stream(job.stream.begin(), job.stream.end());
    EXPECT_EQ(stream.find("\r\nPRINT 1,1\r\n") != std::string::npos, c.printed) << c.what;
    EXPECT_FALSE(std::filesystem::exists(path)) << c.what;
    EXPECT_EQ(job.record.heldLabelPath[0], u'\0') << c.what;
  }
  host::ResetWorld();
}

}  // namespace
