#include "settings/name_list.h"

namespace settings {

namespace {
// Upper case of the characters form names use: ASCII and Latin-1 letters.
char16_t Upper(char16_t c) {
  if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 0x20);
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 0x20);
  return c;
}
}  // namespace

bool SameFormName(const std::u16string& a, const std::u16string& b) {
  const std::u16string left = CutName(a);
  const std::u16string right = CutName(b);
  if (left.size() != right.size()) return false;
  for (std::size_t i = 0; i < left.size(); ++i) {
    if (Upper(left[i]) != Upper(right[i])) return false;
  }
  return true;
}

}  // namespace settings
