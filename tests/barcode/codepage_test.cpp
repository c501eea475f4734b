// The code-page call the readers use, the same on the host (iconv) and on
// Windows (run under Wine).
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/os.h"

namespace {

TEST(ConvertCodePage, ShiftJisAndGb18030ToUtf8AndBack) {
  const struct {
    std::string from;
    uint32_t fromPage, toPage;
    std::optional<std::string> to;
  } cases[] = {
      {"\x93\x5f", 932, os::kCodePageUtf8, "\xe7\x82\xb9"},       // 点
      {"\x8a\xbf\x8e\x9a", 932, os::kCodePageUtf8, "\xe6\xbc\xa2\xe5\xad\x97"},  // 漢字
      {"\xb1", 932, os::kCodePageUtf8, "\xef\xbd\xb1"},            // half-width ｱ
      {"A1", 932, os::kCodePageUtf8, "A1"},
      {"\x93", 932, os::kCodePageUtf8, std::nullopt},              // lead byte alone
      {"\xba\xba", 54936, os::kCodePageUtf8, "\xe6\xb1\x89"},      // 汉
      {"\xe6\xb1\x89", os::kCodePageUtf8, 54936, "\xba\xba"},
      {"\xe7\x82\xb9", os::kCodePageUtf8, 932, "\x93\x5f"},
      {"", 932, os::kCodePageUtf8, ""},
      {"A", 12345, os::kCodePageUtf8, std::nullopt},               // no such code page
  };
  for (const auto& c : cases) {
    const std::optional<std::string> got = os::ConvertCodePage(c.from, c.fromPage, c.toPage);
#ifdef _WIN32
    // Wine has no code page 54936 and refuses it (see docs/ARCHITECTURE.md);
    // Windows converts it.
    if (!got && (c.fromPage == 54936 || c.toPage == 54936)) continue;
#endif
    EXPECT_EQ(got, c.to) << c.fromPage << " -> " << c.toPage << " " << c.from;
  }
}

}  // namespace
