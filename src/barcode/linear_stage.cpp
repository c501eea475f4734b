// LinearStage: frames a tracked bar of a linear symbol. The bar is traced
// and fitted with a line; a scan line across it gives the symbol's extent;
// a strip sampled along the bars (so that they stand upright) is handed to
// the linear readers, and a read symbol becomes a SymbolResult.
#include <cmath>
#include <cstring>

#include "barcode/alloc.h"
#include "barcode/bar_trace.h"
#include "barcode/error_trail.h"
#include "barcode/linear_readers.h"
#include "barcode/result_store.h"
#include "barcode/scan.h"
#include "barcode/scan_context.h"

namespace barcode {

namespace {

constexpr double kPi = 3.1415926535897;
constexpr int kTraceGap = 5;
// Bars steeper than this are left to the turned pass of the caller.
constexpr double kMaxBarAngle = 80.0;

int32_t Fail(int category, int site) {
  PushErrorTrail(category, kModuleScan, site);
  return 1;
}

// Outcome of one track: 0 done with it, 1 failure, 2 leave for a later row.
int32_t ExamineTrack(ScanContext* ctx, RowTrack* track, SymbolResultList* results) {
  const DarkPixels img(ctx->image);
  const int64_t y0 = ctx->row;

  // 1. Trace and fit column against row.
  BarLine line;
  if (!TraceBar(ctx->image, track->x, track->width, y0, kTraceGap, &line)) {
    PushErrorTrail(kCategoryNotFound, kModuleScan, 151);
    return 2;
  }
  const int64_t topRow = line.topRow;
  const int64_t bottomRow = line.bottomRow;

  // 2. Bar length and angle.
  const int64_t dx = AwayFromZero(line.Column(topRow) - line.Column(bottomRow));
  const int64_t dy = AwayFromZero(topRow - bottomRow);
  const int64_t barLength =
      static_cast<int64_t>(std::sqrt(static_cast<double>(dx * dx + dy * dy)) + 0.5);
  const double theta =
      std::atan2(static_cast<double>(dy), static_cast<double>(dx)) * 180 / kPi + 90;
  track->firstRow = static_cast<int32_t>(topRow);
  track->span = static_cast<int32_t>(y0 - topRow);
  if (std::fabs(theta) >= kMaxBarAngle || barLength < 1) return 0;
  const double rad = theta * kPi / 180;
  const double tanT = std::tan(rad), cosT = std::cos(rad), sinT = std::sin(rad);

  // 3. Scan line across the bar, clipped to the image.
  const int64_t col0 = line.Column(y0);
  if (col0 < 0 || col0 >= img.w) return 0;
  auto rowAt = [&](int64_t c) { return y0 + std::llround((c - col0) * tanT); };
  int64_t cL = col0, cR = col0;
  while (cL - 1 >= 0 && rowAt(cL - 1) >= 0 && rowAt(cL - 1) < img.h) --cL;
  while (cR + 1 < img.w && rowAt(cR + 1) >= 0 && rowAt(cR + 1) < img.h) ++cR;
  const int64_t count = cR - cL + 1;
  Buffer<uint8_t> samples = AllocArray<uint8_t>(static_cast<size_t>(count));
  if (!samples) return Fail(kCategoryMemory, 145);
  Buffer<int32_t> runStart = AllocArray<int32_t>(static_cast<size_t>(count) + 1);
  if (!runStart) return Fail(kCategoryMemory, 147);
  for (int64_t c = cL; c <= cR; ++c) samples[c - cL] = img.Dark(c, rowAt(c)) ? 1 : 0;
  int64_t runs = 0, barRun = -1;
  for (int64_t i = 0; i < count; ++i) {
    if (i == 0 || samples[i] != samples[i - 1]) runStart[runs++] = static_cast<int32_t>(i);
    if (i == col0 - cL) barRun = runs - 1;
  }
  runStart[runs] = static_cast<int32_t>(count);
  if (barRun < 0 || samples[col0 - cL] == 0) return 0;
  auto runLength = [&](int64_t k) { return static_cast<int64_t>(runStart[k + 1] - runStart[k]); };
  int64_t m = INT64_MAX;
  for (int64_t k = barRun - 2; k <= barRun + 2; ++k)
    if (k >= 0 && k < runs) m = std::min(m, runLength(k));
  m = std::max<int64_t>(2, m);
  int64_t jL = barRun, jR = barRun;
  while (jL - 1 >= 0 && runLength(jL - 1) <= 8 * m) --jL;
  while (jR + 1 < runs && runLength(jR + 1) <= 8 * m) ++jR;
  if (jR - jL + 1 <= 10) return 0;
  const int64_t from = std::max<int64_t>(0, runStart[jL] - 10 * m);
  const int64_t to = std::min<int64_t>(count - 1, runStart[jR + 1] - 1 + 10 * m);
  const int64_t columns = to - from + 1;
  const int64_t firstColumn = cL + from;

  FoundArea area{};
  area.rows = static_cast<int32_t*>(AllocZeroed(static_cast<size_t>(columns), sizeof(int32_t)));
  if (area.rows == nullptr) return Fail(kCategoryMemory, 141);
  area.columns = static_cast<int32_t>(columns);
  area.firstColumn = static_cast<int32_t>(firstColumn);
  area.lastRow = INT32_MIN;
  for (int64_t k = 0; k < columns; ++k) {
    area.rows[k] = static_cast<int32_t>(rowAt(firstColumn + k));
    area.lastRow = std::max(area.lastRow, area.rows[k]);
  }
  if (ctx->foundAreaCount < kMaxFoundAreas) {
    ctx->foundAreas[ctx->foundAreaCount++] = area;
  } else {
    std::free(area.rows);
    return 0;
  }
  const int32_t* lineRows = area.rows;

  // 4. The strip, bars upright.
  const int64_t t = static_cast<int64_t>(std::fabs(20 / cosT));
  const int64_t stripHeight = barLength;
  // Only the rows the readers look at are sampled; the rest of the strip is
  // left unwritten.
  Buffer<uint8_t> pixels =
      AllocUninitializedArray<uint8_t>(static_cast<size_t>(columns * stripHeight * 3));
  if (!pixels) return Fail(kCategoryMemory, 131);
  int32_t sampledRows[5];
  LinearStripRows(static_cast<int32_t>(stripHeight), sampledRows);
  for (const int32_t row : sampledRows) {
    if (row < 0 || row >= stripHeight) continue;
    const int64_t r = row;
    const int64_t shift = static_cast<int64_t>((r - t) * tanT + 0.5);
    uint8_t* out = pixels.get() + r * columns * 3;
    for (int64_t k = 0; k < columns; ++k) {
      const int64_t x = firstColumn - shift + k, y = lineRows[k] + r - t;
      const bool light = x >= 0 && y >= 0 && x < img.w && y < img.h && !img.Dark(x, y);
      std::memset(out + k * 3, light ? 255 : 0, 3);
    }
  }
  BinaryImage strip{static_cast<uint32_t>(columns),
                    static_cast<uint32_t>(columns * 3),
                    static_cast<uint32_t>(stripHeight),
                    3,
                    8,
                    pixels.get()};

  // 5. Read it.
  Buffer<ReaderOutput> output = AllocArray<ReaderOutput>(1);
  if (!output) return Fail(kCategoryMemory, 157);
  output[0].orientation = kOrientationUnset;
  bool found = false;
  if (ReadLinearStrip(strip, output.get(), ctx->working.types, &found) != 0) {
    PushErrorTrail(ReaderLastError(), 0, 0);
    return Fail(kCategoryStageFailed, 159);
  }
  if (!found || output[0].text[0] == '\0') return 0;

  // 6. The result and its rectangle.
  const ReaderOutput& o = output[0];
  SymbolRect rect{0, 0, 0, 0};
  double angle = o.orientation == kReversed ? 180.0 : 0.0;
  if (std::fabs(cosT) >= 1e-10) {
    rect.width = static_cast<int32_t>(std::llabs(static_cast<int64_t>(columns / cosT)));
    rect.height = static_cast<int32_t>(barLength + 5);
    const int64_t d = static_cast<int64_t>(cosT * track->span);
    const int64_t c = barLength / 2 - d;
    rect.centreX = static_cast<int32_t>((2 * firstColumn + columns) / 2 - sinT * c);
    rect.centreY = static_cast<int32_t>((lineRows[0] + lineRows[columns - 1]) / 2 + c * cosT);
    angle += theta;
  }
  StoreResult(&ctx->image, results, SymbolTypeFromName(o.name), o, rect, angle);
  return 0;
}

}  // namespace

int32_t LinearStage(ScanContext* ctx, TrackList* tracks, SymbolResultList* results) {
  for (int32_t i = 0; i < tracks->count; ++i) {
    if (results->count >= kMaxResults) break;
    RowTrack& track = tracks->items[i];
    if (track.span <= 20 || (track.done & kDoneLinear) || !track.matched) continue;
    // A symbol framed earlier in this row retires its other bars at once.
    if (InsideFoundArea(*ctx, track)) {
      track.done |= kDoneLinear;
      continue;
    }
    int32_t code = ExamineTrack(ctx, &track, results);
    if (code == 1) return 1;
    if (code == 0) track.done |= kDoneLinear;
  }
  return 0;
}

}  // namespace barcode
