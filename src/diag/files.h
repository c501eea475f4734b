// Directory and file helpers for the print-file folder and the spool files.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/os.h"

namespace diag {

// Creates the directory and any missing parents; true when it exists after.
// A path without a separator gives false. With a trailing separator the
// first call creates the directory but reports false; later calls, true.
bool EnsureDirectory(const std::u16string& path);

// The path names an existing directory (found by a directory search).
bool IsExistingDirectory(const std::u16string& path);

struct CFree {
  void operator()(void* p) const { os::CrtFree(p); }
};
using FileBytes = std::unique_ptr<std::uint8_t[], CFree>;

// Reads the whole of an open file and closes it. Null for an empty file (size
// untouched), and with size -2 when memory runs out or -3 on a short read.
FileBytes ReadWholeFile(os::File file, std::int64_t* size);

}  // namespace diag
