// Lists of printer, form and key names. Each name is cut to the 259
// characters a 260-character buffer holds.
#pragma once

#include <string>
#include <vector>

namespace settings {

inline constexpr std::size_t kMaxNameChars = 259;
// Enumeration indices are 8 bits wide: at most this many entries are listed.
inline constexpr unsigned kMaxEnumerated = 256;

using NameList = std::vector<std::u16string>;

inline std::u16string CutName(const std::u16string& name) { return name.substr(0, kMaxNameChars); }
inline void FreeNameList(NameList* list) {
  if (list != nullptr) NameList().swap(*list);
}

// Form names compare without regard to case, both sides upper-cased.
bool SameFormName(const std::u16string& a, const std::u16string& b);

}  // namespace settings
