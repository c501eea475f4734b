// The plug-in's private devmode record ("TFSM", version 1, 7196 bytes) and the
// DevMode requests of the universal driver. The record is stored inside job
// devmodes and its size is announced to the driver, so every offset is part of
// the format.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/abi.h"
#include "settings/media_settings.h"

namespace frame {

inline constexpr std::uint32_t kPrivateDevmodeSize = 7196;
inline constexpr std::uint32_t kPrivateDevmodeSignature = 0x4D534654;  // "TFSM"
inline constexpr std::uint32_t kPrivateDevmodeVersion = 1;
inline constexpr std::size_t kPathChars = 260;

struct PrivateDevmode {
  // Header: the platform's OEM_DMEXTRAHEADER followed by one word.
  std::uint32_t size;
  std::uint32_t signature;
  std::uint32_t version;
  std::uint32_t reserved12;
  std::uint32_t reserved16;
  // Print settings.
  std::uint32_t settingsWord20;
  std::uint8_t printerSettingsSwitch;
  std::uint8_t printSpeed;
  std::uint8_t printDensity;
  std::uint8_t rasterCompression;
  std::uint8_t postPrintAction;
  std::uint8_t cutMode;
  std::uint8_t pad30[2];
  std::uint32_t cutInterval;
  std::int32_t feedOffset;  // 0.1 mm
  std::uint8_t halftoneMode;
  std::uint8_t pad41[3];
  std::int32_t brightness;
  std::int32_t contrast;
  std::uint8_t settingsByte52;
  std::uint8_t pad53[3];
  std::int32_t horizontalShift;  // 0.1 mm
  std::int32_t verticalShift;    // 0.1 mm
  std::uint8_t mirrorSwitch;
  std::uint8_t reversePrintSwitch;
  std::uint8_t uprightSwitch;
  std::uint8_t printFileSwitch;
  std::uint8_t fixedPrintFileNameSwitch;
  std::uint8_t trimSwitch;
  std::uint8_t cropPrintSwitch;
  std::uint8_t extendedCropSwitch;
  char16_t formName[kPathChars];
  std::uint32_t settingsWord592;
  std::uint8_t settingsByte596;
  std::uint8_t pad597[3];
  std::uint32_t horizontalScale;  // thousandths
  std::uint32_t verticalScale;    // thousandths
  char16_t settingsText1[kPathChars];
  char16_t printFileFolder[kPathChars];
  char16_t settingsText2[kPathChars];
  char16_t settingsText3[kPathChars];
  char16_t settingsText4[kPathChars];
  char16_t settingsText5[kPathChars];
  char16_t settingsText6[kPathChars];
  std::uint8_t settingsByte4248;
  std::uint8_t pad4249[3];
  char16_t modelName[kPathChars];
  std::uint32_t printerResolution;  // dots per inch
  float maximumPrintWidth;          // mm
  std::uint32_t settingsWord4780;
  float maximumMediaWidth;   // mm
  float minimumLabelLength;  // mm
  std::uint32_t settingsWord4792;
  settings::MediaSettings mediaSettings;
  std::uint8_t cropResult;
  std::uint8_t pad5365[3];
  std::uint32_t cropPageCount;
  char lastSizeCommand[kPathChars];
  char16_t heldLabelPath[kPathChars];
  char16_t pageImagePath[kPathChars];
  std::uint8_t reserved6672[524];
};

static_assert(sizeof(PrivateDevmode) == kPrivateDevmodeSize);
static_assert(offsetof(PrivateDevmode, signature) == 4);
static_assert(offsetof(PrivateDevmode, version) == 8);
static_assert(offsetof(PrivateDevmode, reserved12) == 12);
static_assert(offsetof(PrivateDevmode, reserved16) == 16);
static_assert(offsetof(PrivateDevmode, settingsWord20) == 20);
static_assert(offsetof(PrivateDevmode, printerSettingsSwitch) == 24);
static_assert(offsetof(PrivateDevmode, printSpeed) == 25);
static_assert(offsetof(PrivateDevmode, printDensity) == 26);
static_assert(offsetof(PrivateDevmode, rasterCompression) == 27);
static_assert(offsetof(PrivateDevmode, postPrintAction) == 28);
static_assert(offsetof(PrivateDevmode, cutMode) == 29);
static_assert(offsetof(PrivateDevmode, cutInterval) == 32);
static_assert(offsetof(PrivateDevmode, feedOffset) == 36);
static_assert(offsetof(PrivateDevmode, halftoneMode) == 40);
static_assert(offsetof(PrivateDevmode, brightness) == 44);
static_assert(offsetof(PrivateDevmode, contrast) == 48);
static_assert(offsetof(PrivateDevmode, settingsByte52) == 52);
static_assert(offsetof(PrivateDevmode, horizontalShift) == 56);
static_assert(offsetof(PrivateDevmode, verticalShift) == 60);
static_assert(offsetof(PrivateDevmode, mirrorSwitch) == 64);
static_assert(offsetof(PrivateDevmode, reversePrintSwitch) == 65);
static_assert(offsetof(PrivateDevmode, uprightSwitch) == 66);
static_assert(offsetof(PrivateDevmode, printFileSwitch) == 67);
static_assert(offsetof(PrivateDevmode, fixedPrintFileNameSwitch) == 68);
static_assert(offsetof(PrivateDevmode, trimSwitch) == 69);
static_assert(offsetof(PrivateDevmode, cropPrintSwitch) == 70);
static_assert(offsetof(PrivateDevmode, extendedCropSwitch) == 71);
static_assert(offsetof(PrivateDevmode, formName) == 72);
static_assert(offsetof(PrivateDevmode, settingsWord592) == 592);
static_assert(offsetof(PrivateDevmode, settingsByte596) == 596);
static_assert(offsetof(PrivateDevmode, horizontalScale) == 600);
static_assert(offsetof(PrivateDevmode, verticalScale) == 604);
static_assert(offsetof(PrivateDevmode, settingsText1) == 608);
static_assert(offsetof(PrivateDevmode, printFileFolder) == 1128);
static_assert(offsetof(PrivateDevmode, settingsText2) == 1648);
static_assert(offsetof(PrivateDevmode, settingsText3) == 2168);
static_assert(offsetof(PrivateDevmode, settingsText4) == 2688);
static_assert(offsetof(PrivateDevmode, settingsText5) == 3208);
static_assert(offsetof(PrivateDevmode, settingsText6) == 3728);
static_assert(offsetof(PrivateDevmode, settingsByte4248) == 4248);
static_assert(offsetof(PrivateDevmode, modelName) == 4252);
static_assert(offsetof(PrivateDevmode, printerResolution) == 4772);
static_assert(offsetof(PrivateDevmode, maximumPrintWidth) == 4776);
static_assert(offsetof(PrivateDevmode, settingsWord4780) == 4780);
static_assert(offsetof(PrivateDevmode, maximumMediaWidth) == 4784);
static_assert(offsetof(PrivateDevmode, minimumLabelLength) == 4788);
static_assert(offsetof(PrivateDevmode, settingsWord4792) == 4792);
static_assert(offsetof(PrivateDevmode, mediaSettings) == 4796);
static_assert(offsetof(PrivateDevmode, mediaSettings.numLabelMediaType) == 5316);
static_assert(offsetof(PrivateDevmode, mediaSettings.numLabelMediaMethod) == 5317);
static_assert(offsetof(PrivateDevmode, mediaSettings.mmLabelWidth) == 5320);
static_assert(offsetof(PrivateDevmode, mediaSettings.mmLabelLength) == 5324);
static_assert(offsetof(PrivateDevmode, mediaSettings.mmRightMargin) == 5328);
static_assert(offsetof(PrivateDevmode, mediaSettings.mmLeftMargin) == 5332);
static_assert(offsetof(PrivateDevmode, mediaSettings.mmTopMargin) == 5336);
static_assert(offsetof(PrivateDevmode, mediaSettings.mmBottomMargin) == 5340);
static_assert(offsetof(PrivateDevmode, mediaSettings.numMediaSensorSetting) == 5344);
static_assert(offsetof(PrivateDevmode, mediaSettings.mmGapHeight) == 5348);
static_assert(offsetof(PrivateDevmode, mediaSettings.mmGapOffset) == 5352);
static_assert(offsetof(PrivateDevmode, mediaSettings.mmMarkHeight) == 5356);
static_assert(offsetof(PrivateDevmode, mediaSettings.mmMarkOffset) == 5360);
static_assert(offsetof(PrivateDevmode, cropResult) == 5364);
static_assert(offsetof(PrivateDevmode, cropPageCount) == 5368);
static_assert(offsetof(PrivateDevmode, lastSizeCommand) == 5372);
static_assert(offsetof(PrivateDevmode, heldLabelPath) == 5632);
static_assert(offsetof(PrivateDevmode, pageImagePath) == 6152);
static_assert(offsetof(PrivateDevmode, reserved6672) == 6672);

// The text of a fixed-size wide field: up to its first NUL, at most chars.
inline std::u16string FieldText(const char16_t* field, std::size_t chars) {
  std::size_t n = 0;
  while (n < chars && field[n] != u'\0') ++n;
  return std::u16string(field, n);
}

// DevMode request codes of the universal driver.
inline constexpr winabi::DWORD OEMDM_SIZE = 1;
inline constexpr winabi::DWORD OEMDM_DEFAULT = 2;
inline constexpr winabi::DWORD OEMDM_CONVERT = 3;
inline constexpr winabi::DWORD OEMDM_MERGE = 4;

// Writes a fresh header (size, signature, version, reserved word 12 = 0) and
// leaves every other byte as it was.
void WriteDevmodeHeader(PrivateDevmode* record);

// Bytes of the header (size, signature, version and the two reserved words):
// a record that claims less is not one of ours.
inline constexpr std::uint32_t kDevmodeHeaderSize = 20;
inline constexpr std::uint32_t kUnknownReadable = 0xFFFFFFFFu;

// How many bytes of a private record at `record` can be read when it came with
// the public devmode `publicDm`: the rest of that devmode's private area when
// the record lies inside it, else at most its dmDriverExtra. Without a public
// devmode nothing bounds the record but its own size word.
std::uint32_t ReadablePrivateBytes(const winabi::DEVMODEW* publicDm, const void* record);

// Converts in into out: a foreign signature, a size word below the header or
// fewer than a header's worth of readable bytes give out a fresh header only;
// otherwise the smaller of the two size fields' worth of bytes (and never more
// than `readable`) is copied and the size and version are made current.
// Nothing happens unless both exist.
void ConvertDevmode(const PrivateDevmode* in, PrivateDevmode* out,
                    std::uint32_t readable = kUnknownReadable);

// One DevMode request. On a merge, the input public devmode's dmMediaType is
// stored through mergedMediaType (when the input devmode exists).
winabi::HRESULT HandleDevModeRequest(winabi::DWORD mode, winabi::OEMDMPARAM* param,
                                     winabi::DWORD* mergedMediaType);

}  // namespace frame
