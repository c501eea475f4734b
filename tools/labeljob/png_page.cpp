#include "png_page.h"

#include <png.h>

#include <cstdio>
#include <memory>

namespace labeljob {

namespace {
constexpr std::uint32_t kMaxSide = 30000;  // a label page is far smaller
}

bool ReadGreyPng(const std::string& path, GreyPage* page, std::string* error) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) {
    *error = path + ": not a readable PNG (" + image.message + ")";
    return false;
  }
  if (image.width == 0 || image.height == 0 || image.width > kMaxSide || image.height > kMaxSide) {
    png_image_free(&image);
    *error = path + ": page of " + std::to_string(image.width) + " x " +
             std::to_string(image.height) + " pixels is out of range";
    return false;
  }
  // Grey on a white background: transparent parts of a page are paper.
  image.format = PNG_FORMAT_GRAY;
  png_color white{255, 255, 255};
  page->width = image.width;
  page->height = image.height;
  page->pixels.assign(PNG_IMAGE_SIZE(image), 255);
  if (!png_image_finish_read(&image, &white, page->pixels.data(), 0, nullptr)) {
    *error = path + ": " + image.message;
    png_image_free(&image);
    return false;
  }
  return true;
}

bool WriteGreyPng(const std::string& path, const GreyPage& page, std::string* error) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = page.width;
  image.height = page.height;
  image.format = PNG_FORMAT_GRAY;
  if (!png_image_write_to_file(&image, path.c_str(), 0, page.pixels.data(), 0, nullptr)) {
    *error = path + ": " + image.message;
    return false;
  }
  return true;
}

}  // namespace labeljob
