// Page images for labeljob: any PNG, as 8-bit grey rows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace labeljob {

struct GreyPage {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint8_t> pixels;  // width bytes per row, top row first
};

// Reads a PNG of any bit depth and colour type; false with a message in error.
bool ReadGreyPng(const std::string& path, GreyPage* page, std::string* error);

// Writes an 8-bit grey PNG (used by tests and tools to make pages).
bool WriteGreyPng(const std::string& path, const GreyPage& page, std::string* error);

}  // namespace labeljob
