// Heap behaviour fixed per benchmark, so that a run does not depend on what
// the process did before. glibc serves large blocks from fresh pages or from
// memory it kept, depending on its history: "warm" keeps freed memory for
// reuse (the plug-in's own work alone), "fresh" serves every block above
// 512 KB from new pages and hands freed memory back, as the Windows heap does
// with large blocks (it takes them straight from virtual memory), so that
// each such block pays its page faults.
#pragma once

#include <malloc.h>

namespace bench_heap {

enum Heap { kWarm = 0, kFresh = 1 };

inline void FixHeap(Heap heap) {
  mallopt(M_MMAP_THRESHOLD, heap == kWarm ? 256 << 20 : 512 << 10);
  // Fresh: the top of the heap is trimmed down whenever more than the mmap
  // threshold is free there, so that a block just under 1 MB cannot be
  // served from what an earlier block left behind.
  mallopt(M_TRIM_THRESHOLD, heap == kWarm ? 1 << 30 : 512 << 10);
}

inline const char* HeapName(Heap heap) { return heap == kWarm ? "warm heap" : "fresh pages"; }

}  // namespace bench_heap
