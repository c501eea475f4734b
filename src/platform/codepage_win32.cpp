// Code-page conversion on Windows: into UTF-16 and out again. Our own
// declarations come first: <windows.h> defines names that abi.h spells out.
#include "platform/os.h"

#include <windows.h>

#include <climits>

namespace os {

std::optional<std::string> ConvertCodePage(const std::string& text, std::uint32_t from,
                                           std::uint32_t to) {
  if (text.empty()) return std::string();
  if (text.size() > static_cast<size_t>(INT_MAX / 4)) return std::nullopt;
  const int inLength = static_cast<int>(text.size());
  const int wide = MultiByteToWideChar(from, MB_ERR_INVALID_CHARS, text.data(), inLength, nullptr, 0);
  if (wide <= 0) return std::nullopt;
  std::wstring w(static_cast<size_t>(wide), L'\0');
  if (MultiByteToWideChar(from, MB_ERR_INVALID_CHARS, text.data(), inLength, w.data(), wide) != wide)
    return std::nullopt;
  const int bytes = WideCharToMultiByte(to, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return std::nullopt;
  std::string out(static_cast<size_t>(bytes), '\0');
  if (WideCharToMultiByte(to, 0, w.data(), wide, out.data(), bytes, nullptr, nullptr) != bytes)
    return std::nullopt;
  return out;
}

}  // namespace os
