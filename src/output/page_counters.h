// Process-wide page counters of the label command output. The spooler serves
// one job at a time per process through this plug-in, so they are plain.
#pragma once

#include <cstdint>

namespace output {

struct PageCounters {
  std::uint32_t jobPage = 0;     // pages given to the ordinary page writer in the job
  std::uint32_t cropPage = 0;    // labels given to the crop page writer in the job
  std::uint32_t labelCount = 0;  // labels printed so far in the job under cut mode 3
  // A write to the job stream copy fell short: the copy has a gap, so it is
  // neither appended to nor saved as a print file until the next job.
  bool streamCopyBroken = false;
  // A job stream copy exists that no print file has been made from yet.
  bool streamCopyPending = false;
};

PageCounters& ThePageCounters();
void ResetPageCounters();  // for tests

}  // namespace output
