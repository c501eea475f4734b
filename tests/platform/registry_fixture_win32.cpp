// The registry fixture over the real registry (Wine's in the test run).
#include "registry_fixture.h"
// clang-format off
#include <windows.h>
// clang-format on

namespace contract {

namespace {
const wchar_t* W(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

bool SetValue(const std::u16string& key, const std::u16string& name, DWORD type,
              const void* data, std::size_t size) {
  HKEY handle = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, W(key), 0, KEY_SET_VALUE, &handle) != ERROR_SUCCESS) {
    return false;
  }
  const LONG result = ::RegSetValueExW(handle, W(name), 0, type, static_cast<const BYTE*>(data),
                                       static_cast<DWORD>(size));
  ::RegCloseKey(handle);
  return result == ERROR_SUCCESS;
}
}  // namespace

bool AddKey(const std::u16string& path) {
  HKEY handle = nullptr;
  if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, W(path), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &handle, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  ::RegCloseKey(handle);
  return true;
}

bool SetBytes(const std::u16string& key, const std::u16string& name,
              const std::vector<std::uint8_t>& bytes) {
  return SetValue(key, name, REG_BINARY, bytes.data(), bytes.size());
}

bool SetString(const std::u16string& key, const std::u16string& name, const std::u16string& text) {
  return SetValue(key, name, REG_SZ, text.c_str(), (text.size() + 1) * sizeof(char16_t));
}

void RemoveTree(const std::u16string& path) { ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, W(path)); }

}  // namespace contract
