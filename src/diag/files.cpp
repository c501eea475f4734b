#include "diag/files.h"

namespace diag {

namespace {
constexpr std::size_t kMaxPathChars = 259;
}

bool EnsureDirectory(const std::u16string& path) {
  const std::size_t last = path.rfind(os::kWidePathSeparator);
  if (path.empty() || last == std::u16string::npos) return false;
  if (os::PathIsDirectory(path)) return true;
  EnsureDirectory(path.substr(0, std::min(last, kMaxPathChars)));
  return os::CreateDirectory(path);
}

bool IsExistingDirectory(const std::u16string& path) { return os::FindIsDirectory(path); }

FileBytes ReadWholeFile(os::File file, std::int64_t* size) {
  if (size == nullptr) return nullptr;
  const std::int64_t length = file.SeekToEnd();
  if (length <= 0) {
    file.Close();
    return nullptr;
  }
  file.SeekToStart();
  FileBytes bytes(static_cast<std::uint8_t*>(os::CrtAlloc(static_cast<std::size_t>(length))));
  if (!bytes) {
    *size = -2;
    return nullptr;
  }
  if (file.Read(bytes.get(), static_cast<std::size_t>(length)) !=
      static_cast<std::size_t>(length)) {
    *size = -3;
    return nullptr;
  }
  file.Close();
  *size = length;
  return bytes;
}

}  // namespace diag
