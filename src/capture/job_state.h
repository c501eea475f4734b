// Process-wide state of page capture. The spooler serves one job at a time per
// process through this plug-in, so these are plain variables.
#pragma once

#include <cstdint>

namespace capture {

struct JobState {
  // 1 from EnablePDEV until the first page of the new job has been handled.
  std::uint32_t newJobFlag = 0;
  // Jobs that have reached their first page-out in this process.
  std::uint32_t jobCount = 0;
  // Numbers the PDEVs of the process, for their spool file names.
  std::uint32_t pdevCount = 0;
};

JobState& TheJobState();
void ResetJobState();  // for tests

}  // namespace capture
