// Files, directories, temporary names and local time over the Windows APIs.
//
// Kept apart from the rest of the Windows layer so that the whole-job tests
// can run the in-process spooler and registry over these real file calls.
#include "platform/os.h"
#include "platform/win32/wide.h"
// clang-format off
#include <windows.h>
#include <shlwapi.h>
// clang-format on

// The A/W selection macros of these names would rename our own functions.
#undef CopyFile
#undef CreateDirectory
#undef DeleteFile
#undef GetTempFileName
#undef GetTempPath
#undef PathIsDirectory

#include <algorithm>
#include <utility>

namespace os {

using win32::U;
using win32::W;

std::u16string GetTempPath() {
  wchar_t buffer[MAX_PATH + 1] = {};
  const DWORD n = ::GetTempPathW(MAX_PATH + 1, buffer);
  return n == 0 || n > MAX_PATH ? std::u16string() : U(buffer);
}

std::optional<std::u16string> GetTempFileName(const std::u16string& directory,
                                              const std::u16string& prefix) {
  wchar_t buffer[MAX_PATH] = {};
  if (::GetTempFileNameW(W(directory), W(prefix), 0, buffer) == 0) return std::nullopt;
  return U(buffer);
}

std::optional<File> File::Open(const std::u16string& path, Mode mode) {
  // Writers share reading only, so a job's files can be looked at while it
  // runs but not written twice; readers let a writer in, as the C runtime's
  // "rb" does.
  DWORD access = GENERIC_WRITE;
  DWORD share = FILE_SHARE_READ;
  DWORD disposition = CREATE_ALWAYS;
  if (mode == Mode::kRead) {
    access = GENERIC_READ;
    share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    disposition = OPEN_EXISTING;
  } else if (mode == Mode::kAppend) {
    disposition = OPEN_ALWAYS;
  }
  HANDLE h = ::CreateFileW(W(path), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
  if (h == INVALID_HANDLE_VALUE) return std::nullopt;
  File file(h);
  if (mode == Mode::kAppend && file.SeekToEnd() < 0) return std::nullopt;
  return std::optional<File>(std::move(file));
}

std::size_t File::Write(const void* data, std::size_t size) {
  std::size_t total = 0;
  while (handle_ != nullptr && total < size) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size - total, 1u << 30));
    if (!::WriteFile(static_cast<HANDLE>(handle_), static_cast<const BYTE*>(data) + total, chunk,
                     &written, nullptr) ||
        written == 0) {
      break;
    }
    total += written;
  }
  return total;
}

std::size_t File::Read(void* data, std::size_t size) {
  std::size_t total = 0;
  while (handle_ != nullptr && total < size) {
    DWORD got = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size - total, 1u << 30));
    if (!::ReadFile(static_cast<HANDLE>(handle_), static_cast<BYTE*>(data) + total, chunk, &got,
                    nullptr) ||
        got == 0) {
      break;
    }
    total += got;
  }
  return total;
}

std::int64_t File::SeekToEnd() {
  LARGE_INTEGER zero{};
  LARGE_INTEGER position{};
  if (handle_ == nullptr ||
      !::SetFilePointerEx(static_cast<HANDLE>(handle_), zero, &position, FILE_END)) {
    return -1;
  }
  return position.QuadPart;
}

bool File::SeekToStart() {
  LARGE_INTEGER zero{};
  return handle_ != nullptr &&
         ::SetFilePointerEx(static_cast<HANDLE>(handle_), zero, nullptr, FILE_BEGIN) != FALSE;
}

void File::Close() {
  if (handle_ != nullptr) ::CloseHandle(static_cast<HANDLE>(handle_));
  handle_ = nullptr;
}

bool CopyFile(const std::u16string& from, const std::u16string& to, bool failIfExists) {
  return ::CopyFileW(W(from), W(to), failIfExists ? TRUE : FALSE) != FALSE;
}
bool DeleteFile(const std::u16string& path) { return ::DeleteFileW(W(path)) != FALSE; }
bool PathIsDirectory(const std::u16string& path) { return ::PathIsDirectoryW(W(path)) != FALSE; }
bool CreateDirectory(const std::u16string& path) {
  return ::CreateDirectoryW(W(path), nullptr) != FALSE;
}

bool FindIsDirectory(const std::u16string& path) {
  WIN32_FIND_DATAW data{};
  HANDLE h = ::FindFirstFileW(W(path), &data);
  if (h == INVALID_HANDLE_VALUE) return false;
  ::FindClose(h);
  return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

LocalTime GetLocalTime() {
  SYSTEMTIME t{};
  ::GetLocalTime(&t);
  return LocalTime{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

}  // namespace os
