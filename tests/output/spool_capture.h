// A device object whose spool service appends to a byte vector, and a private
// record for the commands' tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "frame/model_table.h"
#include "frame/private_devmode.h"
#include "platform/abi.h"

namespace output_test {

struct SpoolCapture {
  winabi::DRVPROCS procs{};
  winabi::DEVOBJ devobj{};
  std::vector<std::uint8_t> bytes;

  SpoolCapture() {
    procs.DrvWriteSpoolBuf = &Write;
    devobj.pDrvProcs = &procs;
    devobj.pdevOEM = this;
  }
  SpoolCapture(const SpoolCapture&) = delete;
  std::string Text() const { return std::string(bytes.begin(), bytes.end()); }
  void Clear() { bytes.clear(); }

  static winabi::DWORD Write(winabi::DEVOBJ* devobj, void* buffer, winabi::DWORD size) {
    auto* self = static_cast<SpoolCapture*>(devobj->pdevOEM);
    const auto* p = static_cast<const std::uint8_t*>(buffer);
    self->bytes.insert(self->bytes.end(), p, p + size);
    return size;
  }
};

// The worked example's job: LT-210, 100 x 150 mm die-cut labels, gap 3 mm.
inline frame::PrivateDevmode ExampleRecord() {
  frame::PrivateDevmode record{};
  const char16_t* name = frame::ModelName(1);
  for (std::size_t i = 0; name[i] != u'\0'; ++i) record.modelName[i] = name[i];
  record.printerResolution = 203;
  record.printSpeed = 4;
  record.printDensity = 8;
  record.postPrintAction = 2;
  record.rasterCompression = 2;
  record.horizontalScale = 1000;
  record.verticalScale = 1000;
  record.mediaSettings.numLabelMediaType = 0;
  record.mediaSettings.numLabelMediaMethod = 1;
  record.mediaSettings.mmLabelWidth = 100.0f;
  record.mediaSettings.mmLabelLength = 150.0f;
  record.mediaSettings.mmGapHeight = 3.0f;
  return record;
}

inline void SetModel(frame::PrivateDevmode& record, const char16_t* name) {
  std::memset(record.modelName, 0, sizeof record.modelName);
  for (std::size_t i = 0; name[i] != u'\0'; ++i) record.modelName[i] = name[i];
}

}  // namespace output_test
