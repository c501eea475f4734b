// Locale-independent formatting of command texts. The format strings keep the
// printf spelling of the commands ("SIZE %.1f mm, %.1f mm"), but only %d,
// %.1f, %s and %% are understood, and the output never depends on the locale.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <type_traits>

namespace output {

// One argument of a command: an integer, a millimetre value or a text.
struct FormatArg {
  enum class Kind { kInt, kMm, kText };
  Kind kind;
  std::int64_t integer = 0;
  double mm = 0.0;
  const char* text = nullptr;

  template <typename T, typename std::enable_if<std::is_integral<T>::value, int>::type = 0>
  FormatArg(T value) : kind(Kind::kInt), integer(static_cast<std::int64_t>(value)) {}
  FormatArg(float value) : kind(Kind::kMm), mm(static_cast<double>(value)) {}
  FormatArg(double value) : kind(Kind::kMm), mm(value) {}
  FormatArg(const char* value) : kind(Kind::kText), text(value) {}
};

// Writes at most capacity - 1 characters of the formatted text into buffer and
// always terminates it (when capacity > 0). Returns the length written.
// Missing arguments format as nothing.
std::size_t FormatBounded(char* buffer, std::size_t capacity, const char* format,
                          std::initializer_list<FormatArg> args);

// Longest text AppendMm1 can produce (a double's full fixed form).
inline constexpr std::size_t kMaxNumberChars = 330;

// "%.1f": one decimal, rounded, "." separator, never an exponent. out must
// hold kMaxNumberChars bytes; returns the length (no terminator written).
std::size_t FormatMm1(double value, char* out);

}  // namespace output
