// Writes the registry keys the contract suite reads back through os.h: into
// the host world, or into the real registry (HKEY_LOCAL_MACHINE) on Windows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace contract {

// Creates the key and the keys above it; false when the registry refuses.
bool AddKey(const std::u16string& path);
// A binary value of exactly these bytes.
bool SetBytes(const std::u16string& key, const std::u16string& name,
              const std::vector<std::uint8_t>& bytes);
// A string value (REG_SZ).
bool SetString(const std::u16string& key, const std::u16string& name, const std::u16string& text);
// Removes the key with everything below it.
void RemoveTree(const std::u16string& path);

}  // namespace contract
