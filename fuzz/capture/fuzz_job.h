// The job the capture fuzz targets run in: the host world with one printer
// and the tag label form, its settings taken from one input byte.
#pragma once

#include "capture/job_state.h"
#include "output/page_counters.h"
#include "support/tag_job.h"

inline void PrepareFuzzWorld() {
  host::ResetWorld();
  capture::ResetJobState();
  output::ResetPageCounters();
}

inline void StartFuzzJob(testing_support::HostJob& job, std::uint8_t settings) {
  job.publicDm.dmOrientation = (settings & 4) ? 2 : 1;
  job.record.rasterCompression = (settings >> 3) & 3;
  job.record.halftoneMode = (settings >> 5) & 3;
  testing_support::StartTagJob(job, settings & 3);
}
