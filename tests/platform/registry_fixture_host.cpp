// The registry fixture over the host world.
#include <iterator>

#include "platform/host/world.h"
#include "registry_fixture.h"

namespace contract {

namespace {
std::u16string Upper(std::u16string text) {
  for (char16_t& c : text) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  }
  return text;
}
}  // namespace

bool AddKey(const std::u16string& path) {
  host::AddRegistryKey(path);
  return true;
}

bool SetBytes(const std::u16string& key, const std::u16string& name,
              const std::vector<std::uint8_t>& bytes) {
  host::SetRegistryBytes(key, name, bytes);
  return true;
}

bool SetString(const std::u16string& key, const std::u16string& name, const std::u16string& text) {
  host::SetRegistryString(key, name, text);
  return true;
}

void RemoveTree(const std::u16string& path) {
  auto& registry = host::TheWorld().registry;
  const std::u16string top = Upper(path);
  for (auto it = registry.begin(); it != registry.end();) {
    const bool below = it->first == top || it->first.rfind(top + u'\\', 0) == 0;
    it = below ? registry.erase(it) : std::next(it);
  }
  const std::size_t cut = path.rfind(u'\\');
  if (cut == std::u16string::npos) return;
  auto parent = registry.find(Upper(path.substr(0, cut)));
  if (parent == registry.end()) return;
  auto& subkeys = parent->second.subkeys;
  for (auto it = subkeys.begin(); it != subkeys.end(); ++it) {
    if (Upper(*it) == Upper(path.substr(cut + 1))) {
      subkeys.erase(it);
      break;
    }
  }
}

}  // namespace contract
