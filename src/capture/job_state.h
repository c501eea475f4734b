// Process-wide state of page capture. The spooler serves one job at a time per
// process through this plug-in, so these are plain variables.
#pragma once

#include <cstdint>

namespace capture {

struct JobState {
  // 1 from EnablePDEV until the first page of the new job has been handled.
  std::uint32_t newJobFlag = 0;
};

JobState& TheJobState();
void ResetJobState();  // for tests

}  // namespace capture
