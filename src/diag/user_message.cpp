#include "diag/user_message.h"

#include <string>

#include "frame/module.h"
#include "platform/os.h"

namespace diag {

namespace {
constexpr int kStringChars = 260;
}

void ShowUserMessage(const char16_t* title, const char16_t* text) {
  if (title == nullptr || text == nullptr) return;
  // A missing terminal-services library just drops the message.
  os::SendConsoleMessage(title, text);
}

char16_t* LoadResourceString(std::uint32_t id) {
  os::ModuleHandle module = frame::Module().resourceModule;
  if (module == nullptr) return nullptr;
  auto* buffer = static_cast<char16_t*>(os::ProcessHeapAlloc(kStringChars * sizeof(char16_t)));
  if (buffer == nullptr) return nullptr;
  const int length = os::LoadStringW(module, id, buffer, kStringChars);
  if (length < 1) {
    os::ProcessHeapFree(buffer);
    return nullptr;
  }
  void* shrunk = os::ProcessHeapReAlloc(buffer, (static_cast<std::size_t>(length) + 1) * 2);
  return shrunk != nullptr ? static_cast<char16_t*>(shrunk) : buffer;
}

void FreeResourceString(char16_t* text) {
  if (text != nullptr) os::ProcessHeapFree(text);
}

}  // namespace diag
