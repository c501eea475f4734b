// DevMode requests: sizing, defaulting, converting and merging the private
// devmode record.
#include "frame/private_devmode.h"

#include <algorithm>
#include <cstring>

#include "platform/os.h"

namespace frame {

void WriteDevmodeHeader(PrivateDevmode* record) {
  record->size = kPrivateDevmodeSize;
  record->signature = kPrivateDevmodeSignature;
  record->version = kPrivateDevmodeVersion;
  record->reserved12 = 0;
}

std::uint32_t ReadablePrivateBytes(const winabi::DEVMODEW* publicDm, const void* record) {
  if (publicDm == nullptr) return kUnknownReadable;
  const auto start = reinterpret_cast<std::uintptr_t>(publicDm);
  const std::uintptr_t end = start + publicDm->dmSize + publicDm->dmDriverExtra;
  const auto at = reinterpret_cast<std::uintptr_t>(record);
  if (at >= start && at < end) return static_cast<std::uint32_t>(end - at);
  return publicDm->dmDriverExtra;
}

void ConvertDevmode(const PrivateDevmode* in, PrivateDevmode* out, std::uint32_t readable) {
  if (in == nullptr || out == nullptr) return;
  if (readable < kDevmodeHeaderSize) {
    WriteDevmodeHeader(out);
    return;
  }
  // Only the leading words are read until the signature has matched: a short
  // foreign record must not be read past its header.
  std::uint32_t inSize = 0;
  std::uint32_t inSignature = 0;
  std::memcpy(&inSize, reinterpret_cast<const unsigned char*>(in), sizeof inSize);
  std::memcpy(&inSignature, reinterpret_cast<const unsigned char*>(in) + 4, sizeof inSignature);
  if (inSignature != out->signature || inSize < kDevmodeHeaderSize) {
    WriteDevmodeHeader(out);
    return;
  }
  out->reserved12 = 0;
  // The record is never longer than ours, nor than the devmode that carries
  // it, whatever its size field claims.
  const std::uint32_t count = std::min({inSize, out->size, kPrivateDevmodeSize, readable});
  if (in != out) std::memmove(out, in, count);
  out->size = kPrivateDevmodeSize;
  out->version = kPrivateDevmodeVersion;
}

winabi::HRESULT HandleDevModeRequest(winabi::DWORD mode, winabi::OEMDMPARAM* param,
                                     winabi::DWORD* mergedMediaType) {
  if (param == nullptr) {
    os::SetLastError(winabi::ERROR_INVALID_PARAMETER);
    return winabi::E_FAIL;
  }
  auto* in = static_cast<const PrivateDevmode*>(param->pOEMDMIn);
  auto* out = static_cast<PrivateDevmode*>(param->pOEMDMOut);
  const std::uint32_t readable = ReadablePrivateBytes(param->pPublicDMIn, in);
  switch (mode) {
    case OEMDM_SIZE:
      param->cbBufSize = kPrivateDevmodeSize;
      return winabi::S_OK;
    case OEMDM_DEFAULT:
      if (out != nullptr) WriteDevmodeHeader(out);
      return winabi::S_OK;
    case OEMDM_CONVERT:
      ConvertDevmode(in, out, readable);
      return winabi::S_OK;
    case OEMDM_MERGE:
      ConvertDevmode(in, out, readable);
      if (param->pPublicDMIn != nullptr && mergedMediaType != nullptr) {
        *mergedMediaType = param->pPublicDMIn->dmMediaType;
      }
      if (out != nullptr) WriteDevmodeHeader(out);
      return winabi::S_OK;
    default:
      os::SetLastError(winabi::ERROR_INVALID_PARAMETER);
      return winabi::E_FAIL;
  }
}

}  // namespace frame
