// Reaching the user from the spooler: message boxes in the console session and
// the message texts of the resource module.
#pragma once

#include <cstdint>
#include <memory>

namespace diag {

// Resource identifiers of the user messages.
inline constexpr std::uint32_t kMsgNoBarcodes = 74;
inline constexpr std::uint32_t kMsgCheckImageSize = 75;
inline constexpr std::uint32_t kMsgJobCancelledFromPage = 76;
inline constexpr std::uint32_t kMsgBarcodeLargerThanPaper = 77;
inline constexpr std::uint32_t kMsgAdjustBarcodeOrPaper = 78;
inline constexpr std::uint32_t kMsgCannotCropBarcode = 79;
inline constexpr std::uint32_t kMsgNoFurtherPages = 80;
inline constexpr std::uint32_t kMsgInstallWiderMedia = 81;
inline constexpr std::uint32_t kMsgSelectSupportedMedia = 82;

// Shows a message box (OK only, not waited for) in the active console
// session. Null title or text: nothing.
void ShowUserMessage(const char16_t* title, const char16_t* text);

// The string resource id from the resource module, in a process-heap buffer
// that FreeResourceString releases; null when it is missing or memory runs out.
char16_t* LoadResourceString(std::uint32_t id);
void FreeResourceString(char16_t* text);

struct ResourceStringFree {
  void operator()(char16_t* text) const { FreeResourceString(text); }
};
using ResourceString = std::unique_ptr<char16_t, ResourceStringFree>;

}  // namespace diag
