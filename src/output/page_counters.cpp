#include "output/page_counters.h"

namespace output {

PageCounters& ThePageCounters() {
  static PageCounters counters;
  return counters;
}

void ResetPageCounters() { ThePageCounters() = PageCounters{}; }

}  // namespace output
