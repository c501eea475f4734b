// FitRegion: one region of the page, with its barcodes, into a label image
// of the printable width.
#include "crop/label_fitting.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "barcode/error_trail.h"
#include "crop/normalize_orientation.h"

namespace crop {

namespace {

using barcode::SymbolResult;
using barcode::SymbolResultList;

// Takes overlap pixels out of two rooms: the upper (or left) room gives up
// half at its far side, the other half at its near side; a single pixel
// comes out of the upper (or left) room only.
void Split(Room* first, Room* second, int32_t overlap, bool vertical) {
  const int32_t d = static_cast<int32_t>(overlap * 0.5 + 0.5);
  int32_t& firstSize = vertical ? first->height : first->width;
  firstSize -= d;
  if (overlap == 1) return;
  (vertical ? second->top : second->left) += d;
  (vertical ? second->height : second->width) -= d;
}

// The binarised region, 1 = dark, and the questions the sweeps ask of it.
struct Ink {
  barcode::Buffer<uint8_t> dark;
  int32_t width = 0, height = 0;
  bool At(int32_t x, int32_t y) const { return dark[size_t(y) * size_t(width) + size_t(x)] != 0; }
  bool Column(int32_t x, int32_t top, int32_t bottom) const {
    for (int32_t y = top; y <= bottom; ++y)
      if (At(x, y)) return true;
    return false;
  }
  bool Row(int32_t y, int32_t left, int32_t right) const {
    for (int32_t x = left; x <= right; ++x)
      if (At(x, y)) return true;
    return false;
  }
};

// Moves a side outwards from `from` towards `to` (step +1 or -1) until the
// line `hits` touches ink; gives the last free position.
template <class Hits>
int32_t Sweep(int32_t from, int32_t to, Hits hits) {
  const int32_t step = to >= from ? 1 : -1;
  for (int32_t p = from;; p += step) {
    if (hits(p)) return p - step;
    if (p == to) return to;
  }
}

bool NearHorizontalForPlacing(double a) { return NearHorizontal(a, 5) || (a > -185 && a <= -175); }

// Drops the light rows (or columns) below the first run of ink, so that the
// digits printed under the bars are not taken for bars.
void TightenLinear(const Ink& ink, SymbolResult* r) {
  const bool across = NearHorizontal(r->angle, 10);
  const int32_t first = across ? r->centreY : r->centreX;
  const int32_t count = across ? r->height : r->width;
  auto inked = [&](int32_t p) {
    return across ? ink.Row(p, r->centreX, r->centreX + r->width - 1)
                  : ink.Column(p, r->centreY, r->centreY + r->height - 1);
  };
  int32_t start = first;
  while (start < first + count && !inked(start)) ++start;
  if (start == first + count) return;
  int32_t end = start;
  while (end < first + count && inked(end)) ++end;
  if (end == first + count) return;
  (across ? r->centreY : r->centreX) = start;
  (across ? r->height : r->width) = end - start;
}

// The free span around the box, up to the nearest ink.
Room FindRoom(const Ink& ink, const SymbolResult& r) {
  const int32_t left = r.centreX > 0 ? r.centreX - 1 : r.centreX;
  const int32_t top = r.centreY > 0 ? r.centreY - 1 : r.centreY;
  const int32_t rightEdge = r.centreX + r.width - 1, bottomEdge = r.centreY + r.height - 1;
  const int32_t right = rightEdge < ink.width - 1 ? rightEdge + 1 : rightEdge;
  const int32_t bottom = bottomEdge < ink.height - 1 ? bottomEdge + 1 : bottomEdge;
  Room room{left, top, right - left + 1, bottom - top + 1};
  const bool matrix = IsTwoDimensional(r.type);
  const bool across = NearHorizontal(r.angle, 10);
  if (matrix || across) {
    room.left = Sweep(left, 0, [&](int32_t x) { return ink.Column(x, top, bottom); });
    const int32_t last = Sweep(right, ink.width - 1, [&](int32_t x) { return ink.Column(x, top, bottom); });
    room.width = last - room.left + 1;
  }
  if (matrix || !across) {
    room.top = Sweep(top, 0, [&](int32_t y) { return ink.Row(y, left, right); });
    const int32_t last = Sweep(bottom, ink.height - 1, [&](int32_t y) { return ink.Row(y, left, right); });
    room.height = last - room.top + 1;
  }
  return room;
}

bool MostlyGrey(const WorkImage& image, const SymbolResult& r) {
  const size_t rowBytes = size_t(r.width) * image.bytesPerPixel;
  uint64_t grey = 0;
  for (int32_t y = 0; y < r.height; ++y) {
    const uint8_t* p = image.pixels + size_t(r.centreY + y) * image.stride +
                       size_t(r.centreX) * image.bytesPerPixel;
    for (size_t b = 0; b < rowBytes; ++b) grey += p[b] != 0 && p[b] != 255;
  }
  return grey > static_cast<uint64_t>(0.1 * double(rowBytes) * r.height);
}

Room ScaleRoom(const Room& room, double s) {
  return Room{static_cast<int32_t>(room.left * s + 0.5), static_cast<int32_t>(room.top * s + 0.5),
              static_cast<int32_t>(room.width * s), static_cast<int32_t>(room.height * s)};
}

// Shrinks one cut-out barcode to whole modules and keeps its centre.
int32_t Redraw(const Room& room, bool is203, SymbolResult* r, OwnedImage* image) {
  uint32_t width = 0;
  const bool matrix = IsTwoDimensional(r->type);
  int32_t code = FitByModules(room, image->width, image->height, r->moduleSize, r->angle, matrix,
                              LeastModule(r->type, is203), &width);
  if (code != kCropOk) return code;
  const uint64_t height = uint64_t{image->height} * width / image->width;
  if (width == 0 || height == 0)
    return CropFail(kCropBadInput, barcode::kCategoryBadArgument, kModuleRegion, 31);
  OwnedImage shrunk;
  code = ShrinkNearest(image->View(), width, static_cast<uint32_t>(height), &shrunk);
  if (code != kCropOk) return code;
  r->reRendered = 1;
  r->centreX += r->width / 2 - static_cast<int32_t>(width / 2);
  r->centreY += r->height / 2 - static_cast<int32_t>(height / 2);
  r->width = static_cast<int32_t>(width);
  r->height = static_cast<int32_t>(height);
  *image = std::move(shrunk);
  return kCropOk;
}

}  // namespace

void SeparateRooms(Room* rooms, int32_t count) {
  for (int32_t i = 0; i < count; ++i) {
    for (int32_t j = 0; j < count; ++j) {
      if (i == j) continue;
      Room& a = rooms[i];
      Room& b = rooms[j];
      const int32_t bRight = b.left + b.width - 1;
      const int32_t aBottom = a.top + a.height - 1, bBottom = b.top + b.height - 1;
      if (a.left < b.left || a.left > bRight) continue;
      const int32_t ox = bRight + 1 - a.left;
      if (a.top < b.top) {
        if (aBottom <= b.top) continue;
        const int32_t oy = aBottom + 1 - b.top;
        if (aBottom <= bBottom && ox > oy) {
          Split(&a, &b, oy, true);
          continue;
        }
      } else {
        if (a.top > bBottom) continue;
        const int32_t oy = bBottom + 1 - a.top;
        if (aBottom > bBottom && ox > oy) {
          Split(&b, &a, oy, true);
          continue;
        }
      }
      Split(&b, &a, ox, false);
    }
  }
}

int32_t FitRegion(OwnedImage* region, SymbolResultList* barcodes, uint32_t printableWidth,
                  bool is203, OwnedImage* label) {
  const int32_t n = barcodes->count;
  if (!region->pixels || printableWidth == 0 || n < 0 || n > barcode::kMaxResults ||
      (n > 0 && barcodes->items == nullptr))
    return CropFail(kCropBadInput, barcode::kCategoryBadArgument, kModuleRegion, 1);
  WorkImage view = region->View();
  int32_t code = NormalizeOrientation(&view, region, barcodes, true);
  if (code != kCropOk) return CropFail(code, barcode::kCategoryStageFailed, kModuleRegion, 3);

  const int32_t w = static_cast<int32_t>(region->width), h = static_cast<int32_t>(region->height);
  for (int32_t i = 0; i < n; ++i) {
    const SymbolResult& r = barcodes->items[i];
    if (r.centreX < 0 || r.centreY < 0 || r.width <= 0 || r.height <= 0 ||
        int64_t{r.centreX} + r.width > w || int64_t{r.centreY} + r.height > h)
      return CropFail(kCropNothingFound, barcode::kCategoryNotFound, kModuleRegion, 5);
  }
  Ink ink;
  ink.width = w, ink.height = h;
  ink.dark = barcode::AllocUninitializedArray<uint8_t>(size_t(w) * size_t(h));
  if (!ink.dark) return CropFail(kCropNoMemory, barcode::kCategoryMemory, kModuleRegion, 7);
  barcode::BinaryImage binary{region->width, region->width, region->height, 1, 8, ink.dark.get()};
  if (Binarize(region->View(), &binary, 128) != 0)
    return CropFail(kCropBadInput, barcode::kCategoryStageFailed, kModuleRegion, 9);

  Room rooms[barcode::kMaxResults];
  for (int32_t i = 0; i < n; ++i) {
    SymbolResult& r = barcodes->items[i];
    if (!IsTwoDimensional(r.type)) TightenLinear(ink, &r);
    rooms[i] = FindRoom(ink, r);
    r.antiAliased = MostlyGrey(region->View(), r) ? 1 : 0;
    r.reRendered = 0;
  }
  if (n >= 2) SeparateRooms(rooms, n);

  const double s = static_cast<double>(printableWidth) / w;
  if (s >= 1) {
    *label = std::move(*region);
    return kCropOk;
  }

  // Two-dimensional barcodes take their quiet zone along, as far as their
  // room reaches.
  for (int32_t i = 0; i < n; ++i) {
    SymbolResult& r = barcodes->items[i];
    if (!IsTwoDimensional(r.type)) continue;
    const int32_t pad = MatrixPadding(r.type, is203);
    const Room& room = rooms[i];
    const int32_t left = std::max(r.centreX - pad, room.left);
    const int32_t top = std::max(r.centreY - pad, room.top);
    const int32_t right = std::min(r.centreX + r.width - 1 + pad, room.left + room.width - 1);
    const int32_t bottom = std::min(r.centreY + r.height - 1 + pad, room.top + room.height - 1);
    r.centreX = left, r.centreY = top, r.width = right - left + 1, r.height = bottom - top + 1;
  }

  OwnedImage cut[barcode::kMaxResults];
  for (int32_t i = 0; i < n; ++i) {
    const SymbolResult& r = barcodes->items[i];
    if (!CutImage(region->View(), uint32_t(r.centreX), uint32_t(r.centreY), uint32_t(r.width),
                  uint32_t(r.height), &cut[i]))
      return CropFail(kCropNoMemory, barcode::kCategoryMemory, kModuleRegion, 11);
  }
  // The region itself becomes the background.
  for (int32_t i = 0; i < n; ++i) {
    const SymbolResult& r = barcodes->items[i];
    for (int32_t y = 0; y < r.height; ++y) {
      std::fill_n(region->pixels.get() + size_t(r.centreY + y) * region->stride +
                      size_t(r.centreX) * region->bytesPerPixel,
                  size_t(r.width) * region->bytesPerPixel, uint8_t{255});
    }
  }

  for (int32_t i = 0; i < n; ++i) {
    SymbolResult& r = barcodes->items[i];
    Room& room = rooms[i];
    room = ScaleRoom(room, s);
    // A room with no area holds nothing: better refused than printed without
    // its barcode.
    if (room.width <= 0 || room.height <= 0)
      return CropFail(kCropBadInput, barcode::kCategoryBadArgument, kModuleRegion, 13);
    const bool matrix = IsTwoDimensional(r.type);
    const bool fits = cut[i].width <= uint32_t(room.width) &&
                      (!matrix || cut[i].height <= uint32_t(room.height));
    if (!fits) {
      code = Redraw(room, is203, &r, &cut[i]);
      if (code != kCropOk) return code;
    }
    const bool alongX = matrix || NearHorizontalForPlacing(r.angle);
    const bool alongY = matrix || !alongX;
    if (alongX) room.left = PlaceInRoom(r.centreX, r.width, room.left, room.width, s);
    if (alongY) room.top = PlaceInRoom(r.centreY, r.height, room.top, room.height, s);
  }

  code = ShrinkToWidth(region, printableWidth);
  if (code != kCropOk) return code;
  const WorkImage target = region->View();
  for (int32_t i = 0; i < n; ++i) {
    SymbolResult& r = barcodes->items[i];
    const Room& room = rooms[i];
    // Cut to the room (the label's edge too): left columns and bottom rows stay.
    const uint32_t width = std::min({cut[i].width, uint32_t(room.width),
                                     target.width - std::min(target.width, uint32_t(room.left))});
    const uint32_t height = std::min({cut[i].height, uint32_t(room.height),
                                      target.height - std::min(target.height, uint32_t(room.top))});
    PasteImage(cut[i].View(), 0, cut[i].height - height, width, height, target, uint32_t(room.left),
               uint32_t(room.top));
    r.centreX = room.left, r.centreY = room.top;
    r.width = static_cast<int32_t>(width), r.height = static_cast<int32_t>(height);
  }
  *label = std::move(*region);
  return kCropOk;
}

}  // namespace crop
