// Code-page conversion on the host: the C library's iconv. The host has no
// ANSI code page of its own; it counts as UTF-8.
#include <iconv.h>

#include <cerrno>

#include "platform/os.h"

namespace os {

namespace {
const char* IconvName(std::uint32_t codePage) {
  switch (codePage) {
    case 932: return "CP932";
    case 54936: return "GB18030";
    case kCodePageUtf8:
    case kCodePageThreadAnsi: return "UTF-8";
    default: return nullptr;
  }
}
}  // namespace

std::optional<std::string> ConvertCodePage(const std::string& text, std::uint32_t from,
                                           std::uint32_t to) {
  const char* fromName = IconvName(from);
  const char* toName = IconvName(to);
  if (fromName == nullptr || toName == nullptr) return std::nullopt;
  if (text.empty()) return std::string();
  iconv_t cd = iconv_open(toName, fromName);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string out;
  char* in = const_cast<char*>(text.data());
  size_t inLeft = text.size();
  char buffer[256];
  bool ok = true;
  while (inLeft > 0) {
    char* to8 = buffer;
    size_t outLeft = sizeof(buffer);
    const size_t rc = iconv(cd, &in, &inLeft, &to8, &outLeft);
    out.append(buffer, static_cast<size_t>(to8 - buffer));
    // EINVAL: the text ends inside a character, which is as bad as EILSEQ.
    if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
      ok = false;
      break;
    }
  }
  iconv_close(cd);
  if (!ok) return std::nullopt;
  return out;
}

}  // namespace os
