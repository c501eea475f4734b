// Orientation of a page or region by the barcodes it carries.
#include "crop/normalize_orientation.h"

#include <algorithm>
#include <utility>

namespace crop {

namespace {

enum Group { kGroupCode128, kGroupLinear, kGroupTwoDimensional, kGroups };
constexpr int kClasses = 5;
constexpr int kClassNone = 4;

bool Within(double a, double low, double high) { return a >= low && a <= high; }

Group GroupOf(uint32_t type) {
  switch (type) {
    case barcode::kCode128:
      return kGroupCode128;
    case barcode::kQrCode:
    case barcode::kDataMatrix:
    case barcode::kPdf417:
    case barcode::kPdf417Flagged:
    case barcode::kHxCode:
    case barcode::kMaxiCodeLocated:
      return kGroupTwoDimensional;
    default:
      return kGroupLinear;
  }
}

// Cuts the reader's position value off the end of the box where reading
// ended; a value beyond the box leaves one pixel of it.
void TrimByReaderPosition(barcode::SymbolResult* r, int angleClass) {
  const int64_t p = r->readerPosition;
  r->readerPosition = 0;
  if (p == 0 || angleClass == kClassNone) return;
  const bool across = angleClass == 0 || angleClass == 2;
  int32_t& size = across ? r->width : r->height;
  const int32_t cut = static_cast<int32_t>(std::min<int64_t>(p, std::max(size - 1, 0)));
  size -= cut;
  if (angleClass == 2) r->centreX += cut;
  if (angleClass == 3) r->centreY += cut;
}

}  // namespace

int AngleClass(double a) {
  if (Within(a, -5, 5)) return 0;
  if (Within(a, 85, 95) || Within(a, -275, -265)) return 1;
  if (Within(a, 175, 185) || Within(a, -185, -175)) return 2;
  if (Within(a, 265, 275) || Within(a, -95, -85)) return 3;
  return kClassNone;
}

int ChooseTurn(barcode::SymbolResultList* barcodes, uint32_t width, uint32_t height,
               bool landscapeRule) {
  int counts[kGroups][kClasses] = {};
  int perGroup[kGroups] = {};
  for (int32_t i = 0; i < barcodes->count; ++i) {
    barcode::SymbolResult& r = barcodes->items[i];
    const int c = AngleClass(r.angle);
    TrimByReaderPosition(&r, c);
    const Group g = GroupOf(r.type);
    ++counts[g][c];
    ++perGroup[g];
  }
  int deciding = kGroupTwoDimensional;
  for (int g = kGroupCode128; g < kGroupTwoDimensional; ++g) {
    if (perGroup[g] > 0) {
      deciding = g;
      break;
    }
  }
  int best = 0;
  for (int c = 1; c < kClasses; ++c)
    if (counts[deciding][c] > counts[deciding][best]) best = c;
  for (int c = 0; c < kClasses; ++c)
    if (c != best && counts[deciding][c] == counts[deciding][best]) best = kClassNone;
  switch (best) {
    case 0:
      return 0;
    case 1:
      return 90;
    case 2:
      return 180;
    case 3:
      return 270;
    default:
      // Undecided: a portrait page, or with the landscape rule a landscape
      // region, takes the quarter turn anticlockwise.
      if (landscapeRule) return width > height ? 270 : 0;
      return width < height ? 270 : 0;
  }
}

void MapTurnedBox(barcode::SymbolResult* r, int angle, int32_t turnedWidth,
                  int32_t turnedHeight) {
  const int32_t left = r->centreX, top = r->centreY, w = r->width, h = r->height;
  if (angle == 90) {
    r->centreX = top;
    r->centreY = turnedHeight - w - left;
    std::swap(r->width, r->height);
    r->angle += 270;
  } else if (angle == 180) {
    r->centreX = turnedWidth - w - left;
    r->centreY = turnedHeight - h - top;
    r->angle += 180;
  } else if (angle == 270) {
    r->centreY = left;
    r->centreX = turnedWidth - h - top;
    std::swap(r->width, r->height);
    r->angle += 90;
  }
  if (r->angle > 180) r->angle -= 360;
}

int32_t NormalizeOrientation(WorkImage* image, OwnedImage* storage,
                             barcode::SymbolResultList* barcodes, bool landscapeRule) {
  const int angle = ChooseTurn(barcodes, image->width, image->height, landscapeRule);
  if (angle == 0) return kCropOk;
  OwnedImage turned;
  const int32_t code = TurnImage(*image, angle, &turned);
  if (code != kCropOk) return code;
  *storage = std::move(turned);
  *image = storage->View();
  for (int32_t i = 0; i < barcodes->count; ++i) {
    MapTurnedBox(&barcodes->items[i], angle, static_cast<int32_t>(image->width),
                 static_cast<int32_t>(image->height));
  }
  return kCropOk;
}

}  // namespace crop
