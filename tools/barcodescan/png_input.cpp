#include "png_input.h"

#include <png.h>

#include <cmath>
#include <cstdio>
#include <memory>

namespace {

struct File {
  FILE* f;
  ~File() {
    if (f) std::fclose(f);
  }
};

void OnError(png_structp png, png_const_charp message) {
  auto* error = static_cast<std::string*>(png_get_error_ptr(png));
  if (error) *error = message;
  png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

}  // namespace

bool ReadPngPage(const std::string& path, PngPage* page, std::string* error) {
  File file{std::fopen(path.c_str(), "rb")};
  if (!file.f) {
    *error = "cannot open file";
    return false;
  }
  png_byte signature[8];
  if (std::fread(signature, 1, 8, file.f) != 8 || png_sig_cmp(signature, 0, 8) != 0) {
    *error = "not a PNG file";
    return false;
  }
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, error, OnError, OnWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info) {
    png_destroy_read_struct(&png, &info, nullptr);
    *error = "out of memory";
    return false;
  }
  std::vector<png_bytep> rows;
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    if (error->empty()) *error = "corrupt PNG data";
    return false;
  }
  png_init_io(png, file.f);
  png_set_sig_bytes(png, 8);
  png_read_info(png, info);
  const png_uint_32 width = png_get_image_width(png, info);
  const png_uint_32 height = png_get_image_height(png, info);
  const int depth = png_get_bit_depth(png, info);
  const int colour = png_get_color_type(png, info);
  if (static_cast<uint64_t>(width) * height > (uint64_t{1} << 28))
    png_error(png, "image too large");
  png_uint_32 resX = 0, resY = 0;
  int unit = 0;
  if (png_get_pHYs(png, info, &resX, &resY, &unit) && unit == PNG_RESOLUTION_METER && resX > 0)
    page->dpi = static_cast<uint32_t>(std::lround(resX * 0.0254));

  const bool oneBit = colour == PNG_COLOR_TYPE_GRAY && depth == 1;
  uint32_t bpp = 1;
  if (!oneBit) {
    if (depth == 16) png_set_strip_16(png);
    if (colour == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (colour == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
    // Transparent pixels count as paper.
    png_color_16 white{0, 255, 255, 255, 255};
    png_set_background(png, &white, PNG_BACKGROUND_GAMMA_SCREEN, 0, 1.0);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    bpp = png_get_channels(png, info) >= 3 ? 3 : 1;
  }
  const size_t stride = oneBit ? (width + 7) / 8 : static_cast<size_t>(width) * bpp;
  page->pixels.assign(stride * height, 0);
  rows.resize(height);
  for (png_uint_32 y = 0; y < height; ++y) rows[y] = page->pixels.data() + y * stride;
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  page->image = crop::SourceImage{page->pixels.data(),
                                  width,
                                  static_cast<uint32_t>(stride),
                                  height,
                                  oneBit ? crop::kFormatBilevel : crop::kFormatGrey8,
                                  bpp};
  return true;
}
