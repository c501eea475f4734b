// The page writer's images and work rows fail in turn: the label is either
// written whole or its print block is not begun, whatever the compression
// and halftone, and the stream still reads whole.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "output/page_counters.h"
#include "output/page_writer.h"
#include "platform/host/faults.h"
#include "platform/host/world.h"
#include "stream_reader.h"
#include "support/host_job.h"

namespace {

using testing_support::HostJob;

struct Outcome {
  std::int64_t allocations;
  bool printed;
};

Outcome WriteLabel(std::uint8_t compression, std::uint8_t halftone, std::int64_t failing) {
  output::ResetPageCounters();
  HostJob job;
  job.record.horizontalScale = job.record.verticalScale = 1000;
  job.record.rasterCompression = compression;
  job.record.halftoneMode = halftone;
  job.Enable();
  output::CropWorkingCopy working{job.publicDm, job.record};
  working.record.mediaSettings.mmLabelWidth = 20.0f;
  working.record.mediaSettings.mmLabelLength = 10.0f;
  // Grey stripes, so that every halftone has work and every encoder data.
  std::vector<std::uint8_t> grey(160 * 80);
  for (size_t i = 0; i < grey.size(); ++i) grey[i] = static_cast<std::uint8_t>((i % 160) * 3 / 2);
  output::LabelSurface label{160, 80, grey.data(), static_cast<std::uint32_t>(grey.size())};

  host::ResetFaults();
  host::TheFaults().failAllocation = failing;
  output::WriteImage(label, &working, nullptr, &job.devobj, false);
  const std::int64_t allocations = host::TheFaults().allocations;
  host::ResetFaults();

  const labelview::Stream read = labelview::ReadStream(job.stream.data(), job.stream.size());
  const std::string text(job.stream.begin(), job.stream.end());
  // An LZSS encoder without memory leaves its block empty: the header, then
  // the line end at once. Nothing else may break the stream.
  const size_t block = text.find("!S");
  const bool emptyBlock = block != std::string::npos && text.compare(block + 16, 2, "\r\n") == 0;
  EXPECT_TRUE(!read.error || emptyBlock) << "stream breaks at " << read.error->offset;
  // A job header alone may go out; a print block is whole or not begun.
  const bool printed = text.find("\r\nPRINT 1,1\r\n") != std::string::npos;
  EXPECT_EQ(text.find("CLS") != std::string::npos, printed);
  return {allocations, printed};
}

TEST(PageWriterFaults, EveryAllocationEitherPrintsTheLabelWholeOrNothingOfIt) {
  for (std::uint8_t compression : {0, 1, 2}) {
    for (std::uint8_t halftone : {0, 2}) {
      SCOPED_TRACE("compression " + std::to_string(compression) + ", halftone " +
                   std::to_string(halftone));
      const Outcome clean = WriteLabel(compression, halftone, host::Faults::kNever);
      ASSERT_TRUE(clean.printed);
      // The grey copy, the halftone image and its rows, the label canvas,
      // and for a compressed block the encoder's buffers.
      EXPECT_GE(clean.allocations, compression == 2 ? 3 : 4);
      for (std::int64_t n = 0; n < clean.allocations; ++n) {
        const Outcome failed = WriteLabel(compression, halftone, n);
        // Only an encoder without memory still prints (an empty block);
        // every other step drops the label.
        if (failed.printed) {
          EXPECT_EQ(compression, 0) << "allocation " << n;
        }
      }
    }
  }
}

}  // namespace
