// A devmode as the driver hands it over: the public part, then a private area
// holding exactly the input bytes, with any dmDriverExtra claim. Byte 0
// picks convert or merge, bytes 1-2 the claim, byte 3 whether the record sits
// inside the devmode or apart from it.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "frame/private_devmode.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  const winabi::DWORD mode = (data[0] & 1) ? frame::OEMDM_MERGE : frame::OEMDM_CONVERT;
  const std::size_t recordBytes = size - 4;
  // Exactly as long as it claims to be readable, so that ASan sees any over-read.
  const std::size_t area = std::min<std::size_t>(recordBytes, data[1] | (data[2] << 8));
  const bool inside = data[3] & 1;
  auto devmode = std::make_unique<std::uint8_t[]>(sizeof(winabi::DEVMODEW) + area);
  winabi::DEVMODEW publicIn{};
  publicIn.dmSize = sizeof(winabi::DEVMODEW);
  publicIn.dmDriverExtra = static_cast<winabi::WORD>(area);
  std::memcpy(devmode.get(), &publicIn, sizeof publicIn);
  std::memcpy(devmode.get() + sizeof publicIn, data + 4, area);
  auto apart = std::make_unique<std::uint8_t[]>(area);
  std::memcpy(apart.get(), data + 4, area);

  auto out = std::make_unique<frame::PrivateDevmode>();
  std::memset(out.get(), 0x5A, sizeof *out);
  frame::WriteDevmodeHeader(out.get());
  winabi::OEMDMPARAM param{};
  param.pPublicDMIn = reinterpret_cast<winabi::DEVMODEW*>(devmode.get());
  param.pOEMDMIn = inside ? devmode.get() + sizeof publicIn : apart.get();
  param.pOEMDMOut = out.get();
  winabi::DWORD mediaType = 0;
  if (frame::HandleDevModeRequest(mode, &param, &mediaType) != winabi::S_OK) std::abort();
  if (out->size != frame::kPrivateDevmodeSize || out->version != frame::kPrivateDevmodeVersion ||
      out->signature != frame::kPrivateDevmodeSignature) {
    std::abort();
  }
  return 0;
}
