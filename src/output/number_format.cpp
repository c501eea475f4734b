#include "output/number_format.h"

#include <charconv>
#include <cstring>

namespace output {

std::size_t FormatMm1(double value, char* out) {
  const auto result = std::to_chars(out, out + kMaxNumberChars, value, std::chars_format::fixed, 1);
  return result.ec == std::errc() ? static_cast<std::size_t>(result.ptr - out) : 0;
}

namespace {

// Appends to a bounded buffer, dropping what does not fit.
struct BoundedText {
  char* buffer;
  std::size_t limit;  // characters that may be written
  std::size_t length = 0;

  void Append(const char* text, std::size_t count) {
    const std::size_t room = limit - length;
    const std::size_t take = count < room ? count : room;
    if (take > 0) std::memcpy(buffer + length, text, take);
    length += take;
  }
  void Append(const FormatArg& arg) {
    char digits[kMaxNumberChars];
    switch (arg.kind) {
      case FormatArg::Kind::kInt: {
        const auto r = std::to_chars(digits, digits + sizeof digits, arg.integer);
        Append(digits, static_cast<std::size_t>(r.ptr - digits));
        break;
      }
      case FormatArg::Kind::kMm:
        Append(digits, FormatMm1(arg.mm, digits));
        break;
      case FormatArg::Kind::kText:
        if (arg.text != nullptr) Append(arg.text, std::strlen(arg.text));
        break;
    }
  }
};

}  // namespace

std::size_t FormatBounded(char* buffer, std::size_t capacity, const char* format,
                          std::initializer_list<FormatArg> args) {
  if (buffer == nullptr || capacity == 0) return 0;
  BoundedText out{buffer, capacity - 1};
  const FormatArg* next = args.begin();
  for (const char* p = format; p != nullptr && *p != '\0';) {
    if (*p != '%') {
      const char* end = std::strchr(p, '%');
      const std::size_t count = end ? static_cast<std::size_t>(end - p) : std::strlen(p);
      out.Append(p, count);
      p += count;
      continue;
    }
    // A conversion: %d, %.1f, %s or %%. The argument decides how it is written.
    if (p[1] == '%') {
      out.Append("%", 1);
      p += 2;
      continue;
    }
    std::size_t conversionLength = 1;
    if (std::strncmp(p, "%.1f", 4) == 0) {
      conversionLength = 4;
    } else if (p[1] == 'd' || p[1] == 's') {
      conversionLength = 2;
    }
    if (conversionLength > 1 && next != args.end()) out.Append(*next++);
    if (conversionLength == 1) out.Append(p, 1);  // not a conversion we know: keep it
    p += conversionLength;
  }
  buffer[out.length] = '\0';
  return out.length;
}

}  // namespace output
