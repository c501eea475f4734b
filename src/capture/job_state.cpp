#include "capture/job_state.h"

namespace capture {

JobState& TheJobState() {
  static JobState state;
  return state;
}

void ResetJobState() { TheJobState() = JobState{}; }

}  // namespace capture
