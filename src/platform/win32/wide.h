// UTF-16 strings at the edge of the Windows calls: wchar_t is 16 bits there.
#pragma once

#include <string>

namespace win32 {

inline const wchar_t* W(const std::u16string& s) {
  return reinterpret_cast<const wchar_t*>(s.c_str());
}
inline std::u16string U(const wchar_t* s) {
  return s == nullptr ? std::u16string() : std::u16string(reinterpret_cast<const char16_t*>(s));
}

}  // namespace win32
