// Page images of any content, read from a file as labeljob reads them.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "png_page.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = "/tmp/png_page_fuzz-" + std::to_string(::getpid()) + ".png";
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  labeljob::GreyPage page;
  std::string error;
  if (labeljob::ReadGreyPng(path, &page, &error)) {
    if (page.pixels.size() != std::size_t{page.width} * page.height) std::abort();
  } else if (error.empty()) {
    std::abort();
  }
  return 0;
}
