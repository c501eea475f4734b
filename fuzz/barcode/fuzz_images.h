// How the barcode fuzz targets turn bytes into images. The seed maker writes
// the same layouts, so a seed is a real page the fuzzer can bend.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace fuzz_images {

constexpr std::size_t kMaxPixels = 1u << 20;  // a few megapixels at most, in bytes

inline std::uint32_t Read16(const std::uint8_t* p) { return p[0] | (p[1] << 8); }

inline void Write16(std::vector<std::uint8_t>* out, std::uint32_t value) {
  out->push_back(static_cast<std::uint8_t>(value & 0xFF));
  out->push_back(static_cast<std::uint8_t>(value >> 8));
}

// Fills buffer with payload repeated (white when there is none).
inline void Tile(const std::uint8_t* payload, std::size_t size, std::vector<std::uint8_t>* buffer) {
  if (size == 0) {
    std::fill(buffer->begin(), buffer->end(), 0xFF);
    return;
  }
  for (std::size_t at = 0; at < buffer->size(); at += size) {
    std::memcpy(buffer->data() + at, payload, std::min(size, buffer->size() - at));
  }
}

// Regions for the Data Matrix reader. Header, 18 bytes: 0-1 width, 2-3
// height (each taken modulo 1024); 4 channels - 1 (modulo 3); 5 stride change
// (signed); 6-17 the finder's arm end, corner and other arm end, x and y as
// signed 16-bit values. The grey pixels follow, repeated to fill the region.
constexpr std::size_t kMatrixHeader = 18;

// Page images for the location front-end. Header, 16 bytes:
//   0-1 width, 2-3 height (little-endian); 4 stride change (signed, so the
//   stride may fall short of a row); 5 format (0 grey, 1 samples, 2 one-bit,
//   other: unknown); 6 bytes per pixel (0: 1, 1: 3, other: as given);
//   7 rotation mode; 8 extra passes; 9-10 resolution; 11 result limit;
//   12-15 region left, top, width, height in 1/255 of the image (all 0: the
//   whole image).
// The pixels follow, repeated to fill the image.
constexpr std::size_t kLocateHeader = 16;

struct LocateHeader {
  std::uint32_t width, height;
  int strideChange;
  std::uint8_t format, bytesPerPixel, rotationMode, extraPasses;
  std::uint32_t resolution;
  std::uint8_t maxResults;
  std::uint8_t region[4];
};

inline LocateHeader ReadLocateHeader(const std::uint8_t* p) {
  LocateHeader h{};
  h.width = Read16(p);
  h.height = Read16(p + 2);
  h.strideChange = static_cast<std::int8_t>(p[4]);
  h.format = p[5];
  h.bytesPerPixel = p[6];
  h.rotationMode = p[7];
  h.extraPasses = p[8];
  h.resolution = Read16(p + 9);
  h.maxResults = p[11];
  std::memcpy(h.region, p + 12, 4);
  return h;
}

inline std::vector<std::uint8_t> LocateInput(const LocateHeader& h,
                                             const std::vector<std::uint8_t>& pixels) {
  std::vector<std::uint8_t> out;
  Write16(&out, h.width);
  Write16(&out, h.height);
  out.push_back(static_cast<std::uint8_t>(h.strideChange));
  out.insert(out.end(), {h.format, h.bytesPerPixel, h.rotationMode, h.extraPasses});
  Write16(&out, h.resolution);
  out.push_back(h.maxResults);
  out.insert(out.end(), h.region, h.region + 4);
  out.insert(out.end(), pixels.begin(), pixels.end());
  return out;
}

// Binary scan images (one byte per pixel, 1 dark). Header, 8 bytes:
//   0-1 width, 2-3 height; 4 stride change (signed); 5 row step;
//   6 bit 0: thin dark runs first, bit 1: thin light runs first, bits 2-7:
//   the linear, QR, Data Matrix, Han Xin, PDF417 and bullseye groups;
//   7 unused.
// The pixels follow as bits, most significant first, repeated to fill.
constexpr std::size_t kScanHeader = 8;

}  // namespace fuzz_images
