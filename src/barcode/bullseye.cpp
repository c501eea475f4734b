// The bullseye (MaxiCode) group: eleven equal runs across the rings in a
// row, confirmed down the column, along both diagonals and by the roundness
// of the light centre; after the row pass each confirmed bullseye is
// reported with the square of its symbol, found from the dark fill around it.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "barcode/alloc.h"
#include "barcode/error_trail.h"
#include "barcode/group_stages.h"
#include "barcode/result_store.h"
#include "barcode/scan.h"

namespace barcode {

namespace {

constexpr int kRings = 11;
constexpr int kCentre = 5;
constexpr int kBullseyeKind = 7;
constexpr int kRoundWindowMargin = 40;
constexpr double kRoundPi = 3.1415926535;
constexpr double kMinFill = 0.08;
// A MaxiCode reaches 1.4 to 1.9 bullseye sizes from the bullseye's centre
// (33 module rows, 30 modules a row; renderers round the rings and the
// modules differently). Up to kCoreReach the symbol is taken as a whole;
// beyond kMaxReach nothing is its own. Past the core, a quiet stretch of
// kEdgeGap sizes (a module row; an empty row inside leaves less) ends a
// side. The bullseye sits at the symbol's centre, so opposite sides reach
// alike, but for the module the row offset adds on one side of one axis
// (kRowShift sizes).
constexpr double kCoreReach = 1.3;
constexpr double kMaxReach = 2.0;
constexpr double kEdgeGap = 0.13;
constexpr double kRowShift = 0.12;
constexpr double kBalanceMargin = 0.05;
const int32_t kEqualRuns[kRings] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
const char kPlaceholder[] = "1234567890";

bool Dark(const BinaryImage& img, int64_t x, int64_t y) {
  return img.pixels[static_cast<size_t>(y) * img.stride + static_cast<size_t>(x)] != 0;
}
bool Inside(const BinaryImage& img, int64_t x, int64_t y) {
  return x >= 0 && y >= 0 && x < img.width && y < img.height;
}

// The 11 runs met along (dx, dy) through (x, y), that pixel's run in the
// middle; every run must end inside the image. first: steps from (x, y)
// back to the start of the middle run.
bool RunsThrough(const BinaryImage& img, int64_t x, int64_t y, int dx, int dy, uint32_t* runs,
                 int64_t* first) {
  if (!Inside(img, x, y)) return false;
  std::fill(runs, runs + kRings, 0u);
  const bool colour = Dark(img, x, y);
  for (int dir = -1; dir <= 1; dir += 2) {
    int idx = kCentre;
    bool c = colour;
    int64_t t = dir < 0 ? 0 : 1;
    while (true) {
      const int64_t px = x + t * dx, py = y + t * dy;
      if (!Inside(img, px, py)) return false;
      if (Dark(img, px, py) != c) {
        if (dir < 0 && idx == kCentre) *first = t + 1;
        idx += dir;
        if (idx < 0 || idx >= kRings) break;
        c = !c;
      }
      ++runs[idx];
      t += dir;
    }
  }
  return true;
}

// PatternVariance of the rings against eleven equal runs, the two outer
// runs counted at most as long as the longest inner ring: a data module
// that touches the outer dark ring would otherwise lengthen it.
int32_t RingVariance(const uint32_t* runs) {
  uint32_t capped[kRings];
  std::copy(runs, runs + kRings, capped);
  uint32_t longest = 0;
  for (int k = 1; k < kRings - 1; ++k)
    if (k != kCentre) longest = std::max(longest, runs[k]);
  capped[0] = std::min(capped[0], longest);
  capped[kRings - 1] = std::min(capped[kRings - 1], longest);
  return PatternVariance(capped, kRings, kEqualRuns, kRings, 512);
}

struct Found {
  double x, y, size;
};

// A check that needs memory can fail for want of it, which is no answer.
enum class Verdict { kNo, kYes, kNoMemory };

// The light region around the centre: more than 25 pixels, more than 0.15
// of the area of the centre's disc as the runs measured it, and round by
// 4 pi area / perimeter^2.
Verdict Round(const BinaryImage& img, const Found& f, double centreRun) {
  const int64_t side = static_cast<int64_t>(f.size + 0.5) + kRoundWindowMargin;
  const int64_t left = static_cast<int64_t>(f.x) - side / 2, top = static_cast<int64_t>(f.y) - side / 2;
  const size_t cells = static_cast<size_t>(side) * static_cast<size_t>(side);
  Buffer<uint8_t> mark = AllocArray<uint8_t>(cells);
  Buffer<int32_t> stack = AllocUninitializedArray<int32_t>(cells);
  if (!mark || !stack) return Verdict::kNoMemory;
  auto light = [&](int64_t wx, int64_t wy) {
    const int64_t x = left + wx, y = top + wy;
    return wx >= 0 && wy >= 0 && wx < side && wy < side && Inside(img, x, y) && !Dark(img, x, y);
  };
  const int64_t sx = static_cast<int64_t>(f.x) - left, sy = static_cast<int64_t>(f.y) - top;
  if (!light(sx, sy)) return Verdict::kNo;
  size_t depth = 0;
  stack[depth++] = static_cast<int32_t>(sy * side + sx);
  mark[sy * side + sx] = 1;
  int64_t area = 0;
  const int ddx[4] = {1, -1, 0, 0}, ddy[4] = {0, 0, 1, -1};
  while (depth > 0) {
    const int32_t at = stack[--depth];
    const int64_t wx = at % side, wy = at / side;
    ++area;
    for (int k = 0; k < 4; ++k) {
      const int64_t nx = wx + ddx[k], ny = wy + ddy[k];
      if (!light(nx, ny) || mark[ny * side + nx]) continue;
      mark[ny * side + nx] = 1;
      stack[depth++] = static_cast<int32_t>(ny * side + nx);
    }
  }
  // Perimeter: the region's outline edges, times pi / 4 (a digital disc's
  // outline is 4 d; its circumference pi d).
  int64_t edges = 0;
  for (int64_t wy = 0; wy < side; ++wy)
    for (int64_t wx = 0; wx < side; ++wx) {
      if (!mark[wy * side + wx]) continue;
      for (int k = 0; k < 4; ++k) {
        const int64_t nx = wx + ddx[k], ny = wy + ddy[k];
        edges += nx < 0 || ny < 0 || nx >= side || ny >= side || !mark[ny * side + nx];
      }
    }
  const double perimeter = edges * kRoundPi / 4;
  const double reference = kRoundPi * centreRun * centreRun / 4;
  if (area <= 25 || area <= 0.15 * reference || edges == 0) return Verdict::kNo;
  const double roundness = 4 * kRoundPi * area / (perimeter * perimeter);
  return std::fabs(1 - roundness) < 0.35 ? Verdict::kYes : Verdict::kNo;
}

// The bullseye through (column, row): rings down the column, the centre and
// size measured from them and across, rings along both diagonals, a round
// light centre.
Verdict Confirm(const BinaryImage& img, int64_t column, int64_t row, Found* out) {
  uint32_t runs[kRings];
  int64_t first = 0;
  if (!RunsThrough(img, column, row, 0, 1, runs, &first)) return Verdict::kNo;
  if (RingVariance(runs) >= 700) return Verdict::kNo;
  uint32_t height = 0;
  for (uint32_t r : runs) height += r;
  const double cy = row + first + runs[kCentre] / 2.0;
  const double verticalCentre = runs[kCentre];
  const int64_t iy = static_cast<int64_t>(cy);
  if (!RunsThrough(img, column, iy, 1, 0, runs, &first)) return Verdict::kNo;
  uint32_t width = 0;
  for (uint32_t r : runs) width += r;
  const double cx = column + first + runs[kCentre] / 2.0;
  const double centreRun = (verticalCentre + runs[kCentre]) / 2;
  const int64_t ix = static_cast<int64_t>(cx);
  for (int dy = -1; dy <= 1; dy += 2) {
    if (!RunsThrough(img, ix, iy, 1, dy, runs, &first)) return Verdict::kNo;
    if (RingVariance(runs) >= 800) return Verdict::kNo;
  }
  *out = Found{cx, cy, (width + height) / 2.0};
  return Round(img, *out, centreRun);
}

bool SeenBefore(const FinderList& points, const Found& f) {
  for (int32_t i = 0; i < points.count; ++i) {
    const FinderPoint& p = points.items[i];
    const double reach = std::max(p.size, f.size) / 4;
    if (std::fabs(p.x - f.x) < reach && std::fabs(p.y - f.y) < reach) return true;
  }
  return false;
}

}  // namespace

int32_t BullseyeRowStage(ScanContext* ctx) {
  TrackList& tracks = ctx->bullseyeTracks;
  TrackList& candidates = ctx->bullseyeCandidates;
  candidates.count = 0;
  for (int32_t i = 0; i + kRings <= ctx->runCount; i += 2) {
    if (PatternVariance(ctx->runs.get() + i, kRings, kEqualRuns, kRings, 512) < 700)
      AddCandidate(&candidates, ctx->runStarts[i + kCentre],
                   static_cast<int32_t>(ctx->runs[i + kCentre]), ctx->row, 0, kBullseyeKind);
  }
  ClearMatched(&tracks);
  const int noLimit = static_cast<int>(std::max(ctx->image.width, ctx->image.height)) + 1;
  MergeCandidates(&tracks, candidates, ctx->step, noLimit);
  PruneTracks(&tracks, ctx->step);
  FinderList& points = ctx->bullseyeFinders;
  for (int32_t t = 0; t < tracks.count; ++t) {
    RowTrack& track = tracks.items[t];
    if (track.span <= 0 || (track.done & kDoneLinear)) continue;
    Found f;
    const Verdict bullseye = Confirm(ctx->image, track.x + track.width / 2,
                                     static_cast<int64_t>(track.firstRow) + track.span, &f);
    if (bullseye == Verdict::kNoMemory) {
      PushErrorTrail(kCategoryMemory, kModuleScan, 217);
      return 1;
    }
    if (bullseye == Verdict::kNo) continue;
    track.done |= kDoneLinear;
    // A bullseye whose light centre another track already confirmed: the
    // rings of one bullseye can split into tracks that each confirm it.
    if (SeenBefore(points, f)) continue;
    if (points.count >= kMaxFinderPoints - 1) {
      PushErrorTrail(kCategoryMemory, kModuleScan, 215);
      return 1;
    }
    points.items[points.count++] = FinderPoint{f.x, f.y, f.size, 0};
  }
  return 0;
}

namespace {

// Fill (dark share) of a row or column segment of the image.
double Fill(const BinaryImage& img, bool row, int64_t at, int64_t from, int64_t to) {
  int64_t dark = 0;
  for (int64_t k = from; k <= to; ++k) dark += row ? Dark(img, k, at) : Dark(img, at, k);
  return to >= from ? static_cast<double>(dark) / static_cast<double>(to - from + 1) : 0;
}

// The lines of one axis: rows (walked up and down) or columns, within the
// window [lo, hi], each filled over [spanFrom, spanTo] across it.
struct Lines {
  bool rows;
  int64_t lo, hi, spanFrom, spanTo;
};

// One side's walk, outwards from the bullseye's rim (from) to limit: quiet
// lines up to core lie within the symbol (an empty module row); past it,
// gap quiet lines in a row are the gap before whatever stands beside.
struct Walk {
  int64_t from, core, limit, gap;
  int dir;
};

// The last line of the side whose fill reaches 8 %.
int64_t Side(const BinaryImage& img, const Lines& lines, const Walk& w) {
  int64_t last = w.from, quiet = 0;
  for (int64_t at = w.from; w.dir > 0 ? at <= w.limit : at >= w.limit; at += w.dir) {
    if (Fill(img, lines.rows, at, lines.spanFrom, lines.spanTo) >= kMinFill) {
      quiet = 0;
      last = at;
    } else if ((w.dir > 0 ? at > w.core : at < w.core) && ++quiet >= w.gap) {
      break;
    }
  }
  return last;
}

// The walk from centre in direction dir whose core and limit lie reach ±
// slack bullseye sizes out, cut to the window, ended by gap quiet lines.
Walk Outwards(const Lines& lines, int64_t centre, double size, int dir, double reach, double slack,
              int64_t gap) {
  auto at = [&](double r) {
    return std::clamp<int64_t>(centre + dir * static_cast<int64_t>(r * size), lines.lo, lines.hi);
  };
  return Walk{at(0.5), at(reach - slack), at(reach + slack), gap, dir};
}

// Reaches of opposite sides, low and high, from the centre.
struct Axis {
  int64_t centre, low, high;
  int64_t Asymmetry() const { return std::abs((high - centre) - (centre - low)); }
};

// The first walk of both sides: taken whole up to kCoreReach, ended by a
// quiet module row past it, never beyond kMaxReach.
Axis WalkAxis(const BinaryImage& img, const Lines& lines, int64_t centre, double size) {
  const double reach = (kCoreReach + kMaxReach) / 2, slack = (kMaxReach - kCoreReach) / 2;
  const int64_t gap = std::max<int64_t>(2, static_cast<int64_t>(kEdgeGap * size));
  return Axis{centre, Side(img, lines, Outwards(lines, centre, size, -1, reach, slack, gap)),
              Side(img, lines, Outwards(lines, centre, size, 1, reach, slack, gap))};
}

// An axis whose sides differ by more than a margin has something beside the
// longer side: that side is walked again, its core ending short of the
// other side's reach by what the two may differ (expected, plus the margin)
// and its limit as far beyond, and two quiet lines (the gap between the
// symbol and what stands close beside it) end it.
void Balance(const BinaryImage& img, const Lines& lines, double size, int64_t expected,
             Axis* axis) {
  // A side cut by the window (the image's edge) does not show its reach.
  if (axis->low <= lines.lo || axis->high >= lines.hi) return;
  const int64_t lowReach = axis->centre - axis->low, highReach = axis->high - axis->centre;
  const int64_t margin = static_cast<int64_t>(kBalanceMargin * size);
  const double slack = static_cast<double>(expected + margin) / size;
  if (lowReach > highReach + margin)
    axis->low = Side(img, lines, Outwards(lines, axis->centre, size, -1, highReach / size, slack, 2));
  else if (highReach > lowReach + margin)
    axis->high = Side(img, lines, Outwards(lines, axis->centre, size, 1, lowReach / size, slack, 2));
}

// The difference the other axis leaves to this one: the row offset makes
// one axis of an upright symbol a module longer on one side. When the other
// axis shows it, this one is even; when the other is even or has something
// beside it, this one may differ by up to a module.
int64_t ExpectedAsymmetry(const Axis& other, double size) {
  const int64_t shift = static_cast<int64_t>(kRowShift * size);
  const int64_t seen = other.Asymmetry();
  if (seen > shift + static_cast<int64_t>(kBalanceMargin * size)) return shift;
  return std::clamp<int64_t>(shift - seen, 0, shift);
}

}  // namespace

int32_t BullseyePostStage(ScanContext* ctx, SymbolResultList* results) {
  ObserveStage("bullseye", *ctx);
  const BinaryImage& img = ctx->image;
  const FinderList& points = ctx->bullseyeFinders;
  Buffer<ReaderOutput> output = AllocArray<ReaderOutput>(1);
  if (!output) {
    // As the other readers: a stage without its output record fails with 2.
    PushErrorTrail(kCategoryMemory, kModuleScan, 223);
    return 2;
  }
  for (int32_t i = 0; i < points.count && results->count < kMaxResults; ++i) {
    const FinderPoint& p = points.items[i];
    const int64_t cx = static_cast<int64_t>(p.x + 0.5), cy = static_cast<int64_t>(p.y + 0.5);
    if (!Inside(img, cx, cy)) {
      PushErrorTrail(kCategoryNotFound, kModuleScan, 219);
      continue;
    }
    // Inner diameter: the light centre straight up and down.
    int64_t above = cy, below = cy;
    while (above >= 0 && !Dark(img, cx, above)) --above;
    while (below < img.height && !Dark(img, cx, below)) ++below;
    const double d = static_cast<double>(std::max<int64_t>(below - above - 1, 0));
    const double h = d * std::sqrt(3.0) / 2;
    const double halfW = (34 * h * std::sqrt(3.0) / 2 + 10 * d) / 2, halfH = (32 * h + 9 * d) / 2;
    const int64_t wl = std::max<int64_t>(0, static_cast<int64_t>(cx - halfW));
    const int64_t wr = std::min<int64_t>(img.width - 1, static_cast<int64_t>(cx + halfW));
    const int64_t wt = std::max<int64_t>(0, static_cast<int64_t>(cy - halfH));
    const int64_t wb = std::min<int64_t>(img.height - 1, static_cast<int64_t>(cy + halfH));
    const int64_t rim = static_cast<int64_t>(p.size / 2);
    // Lines are filled over the span the symbol surely covers across them,
    // so that what stands beside a side does not count for the other two.
    auto core = [&](int64_t centre, int64_t lo, int64_t hi) {
      const int64_t reach = static_cast<int64_t>(kCoreReach * p.size);
      return std::pair<int64_t, int64_t>{std::max(lo, centre - reach), std::min(hi, centre + reach)};
    };
    const auto [coreLeft, coreRight] = core(cx, wl, wr);
    const auto [coreTop, coreBottom] = core(cy, wt, wb);
    const Lines columns{false, wl, wr, coreTop, coreBottom};
    const Lines rows{true, wt, wb, coreLeft, coreRight};
    Axis across = WalkAxis(img, columns, cx, p.size);
    Axis down = WalkAxis(img, rows, cy, p.size);
    const int64_t acrossExpected = ExpectedAsymmetry(down, p.size);
    Balance(img, rows, p.size, ExpectedAsymmetry(across, p.size), &down);
    Balance(img, columns, p.size, acrossExpected, &across);
    const int64_t left = across.low, right = across.high, top = down.low, bottom = down.high;
    if (right - left < 2 * rim || bottom - top < 2 * rim || d <= 0) {
      PushErrorTrail(kCategoryNotFound, kModuleScan, 221);
      continue;
    }
    // Widened a little, then cut to the image.
    const int64_t x0 = std::max<int64_t>(0, left - 3), y0 = std::max<int64_t>(0, top - 3);
    const int64_t x1 = std::min<int64_t>(img.width, left - 3 + (right - left + 1) + 6);
    const int64_t y1 = std::min<int64_t>(img.height, top - 3 + (bottom - top + 1) + 6);
    std::memcpy(output[0].text, kPlaceholder, sizeof(kPlaceholder));
    std::memcpy(output[0].secondText, kPlaceholder, sizeof(kPlaceholder));
    output[0].moduleSize = d;
    const int32_t width = static_cast<int32_t>(x1 - x0), height = static_cast<int32_t>(y1 - y0);
    const SymbolRect rect{static_cast<int32_t>(x0 + width / 2), static_cast<int32_t>(y0 + height / 2),
                          width, height};
    StoreResult(&ctx->image, results, kMaxiCodeLocated, output[0], rect, 0, Erase::kNo);
  }
  return 0;
}

}  // namespace barcode
