// Host files, directories, temporary names and local time: the real file
// system under the world's temporary folder and clock.
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "platform/host/faults.h"
#include "platform/host/world.h"
#include "platform/os.h"

namespace os {

namespace {
std::string Native(const std::u16string& path) { return host::ToUtf8(path); }
}  // namespace

std::u16string GetTempPath() {
  std::string dir = host::TheWorld().tempDirectory;
  if (dir.empty()) {
    std::error_code ec;
    dir = std::filesystem::temp_directory_path(ec).string();
    if (ec) dir = "/tmp";
  }
  if (dir.back() != '/') dir += '/';
  return host::FromUtf8(dir);
}

std::optional<std::u16string> GetTempFileName(const std::u16string& directory,
                                              const std::u16string& prefix) {
  // Like GetTempFileNameW: up to three prefix characters, a hexadecimal
  // number, ".tmp", and the file is created empty so the name is taken.
  std::string dir = Native(directory);
  if (!dir.empty() && dir.back() != '/') dir += '/';
  const std::string stem = Native(prefix.substr(0, 3));
  if (host::OpenFails()) return std::nullopt;
  static unsigned counter = static_cast<unsigned>(std::time(nullptr));
  for (int attempt = 0; attempt < 65535; ++attempt) {
    counter = (counter + 1) & 0xFFFF;
    if (counter == 0) counter = 1;
    char hex[8];
    std::snprintf(hex, sizeof hex, "%X", counter);
    const std::string path = dir + stem + hex + ".tmp";
    FILE* f = std::fopen(path.c_str(), "wbx");
    if (f != nullptr) {
      std::fclose(f);
      return host::FromUtf8(path);
    }
    if (errno != EEXIST) return std::nullopt;
  }
  return std::nullopt;
}

std::optional<File> File::Open(const std::u16string& path, Mode mode) {
  if (host::OpenFails()) return std::nullopt;
  const char* how = mode == Mode::kRead ? "rb" : mode == Mode::kAppend ? "ab" : "wb";
  FILE* f = std::fopen(Native(path).c_str(), how);
  if (f == nullptr) return std::nullopt;
  return File(f);
}

std::size_t File::Write(const void* data, std::size_t size) {
  if (handle_ == nullptr) return 0;
  return std::fwrite(data, 1, host::WritableBytes(size), static_cast<FILE*>(handle_));
}

std::size_t File::Read(void* data, std::size_t size) {
  if (handle_ == nullptr) return 0;
  return std::fread(data, 1, size, static_cast<FILE*>(handle_));
}

std::int64_t File::SeekToEnd() {
  if (handle_ == nullptr || std::fseek(static_cast<FILE*>(handle_), 0, SEEK_END) != 0) return -1;
  return std::ftell(static_cast<FILE*>(handle_));
}

bool File::SeekToStart() {
  return handle_ != nullptr && std::fseek(static_cast<FILE*>(handle_), 0, SEEK_SET) == 0;
}

void File::Close() {
  if (handle_ != nullptr) std::fclose(static_cast<FILE*>(handle_));
  handle_ = nullptr;
}

bool CopyFile(const std::u16string& from, const std::u16string& to, bool failIfExists) {
  // The old file is removed first: MinGW's overwrite_existing takes any two
  // files for the same one (no inode numbers) and copies nothing.
  std::error_code ec;
  const std::filesystem::path source(Native(from)), target(Native(to));
  if (!std::filesystem::is_regular_file(source, ec)) return false;
  // A full disk refuses the copy before any of it is written.
  const auto size = std::filesystem::file_size(source, ec);
  if (!ec && host::WritableBytes(static_cast<std::size_t>(size)) < size) return false;
  if (std::filesystem::exists(target, ec)) {
    if (failIfExists || std::filesystem::is_directory(target, ec) ||
        !std::filesystem::remove(target, ec)) {
      return false;
    }
  }
  return std::filesystem::copy_file(source, target, ec) && !ec;
}

bool DeleteFile(const std::u16string& path) {
  // remove() would also take an empty directory; DeleteFileW does not.
  std::error_code ec;
  const std::filesystem::path native(Native(path));
  return !std::filesystem::is_directory(native, ec) && std::filesystem::remove(native, ec);
}

bool PathIsDirectory(const std::u16string& path) {
  std::error_code ec;
  return std::filesystem::is_directory(Native(path), ec);
}

bool CreateDirectory(const std::u16string& path) {
  std::error_code ec;
  return std::filesystem::create_directory(Native(path), ec);
}

bool FindIsDirectory(const std::u16string& path) { return PathIsDirectory(path); }

LocalTime GetLocalTime() {
  const host::World& w = host::TheWorld();
  if (w.fixedTime) return *w.fixedTime;
  const std::time_t now = std::time(nullptr);
  std::tm parts{};
#ifdef _WIN32
  localtime_s(&parts, &now);
#else
  localtime_r(&now, &parts);
#endif
  return LocalTime{static_cast<std::uint16_t>(parts.tm_year + 1900),
                   static_cast<std::uint16_t>(parts.tm_mon + 1),
                   static_cast<std::uint16_t>(parts.tm_mday),
                   static_cast<std::uint16_t>(parts.tm_hour),
                   static_cast<std::uint16_t>(parts.tm_min),
                   static_cast<std::uint16_t>(parts.tm_sec)};
}

}  // namespace os
