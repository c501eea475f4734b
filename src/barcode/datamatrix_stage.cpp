// The Data Matrix row stage: dark runs followed down the image by their start
// column. When a track ends, its left edge may be the solid side of an L
// finder; the probes below look for the L and hand its corners to the reader.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "barcode/datamatrix.h"
#include "barcode/error_trail.h"
#include "barcode/group_stages.h"
#include "barcode/result_store.h"
#include "barcode/scan.h"

namespace barcode {

namespace {

constexpr double kPi = 3.14159265358979323846;

bool Inside(const BinaryImage& image, int64_t x, int64_t y) {
  return x >= 0 && y >= 0 && x < image.width && y < image.height;
}

bool Dark(const BinaryImage& image, int64_t x, int64_t y) {
  return image.pixels[static_cast<size_t>(y) * image.stride + static_cast<size_t>(x)] != 0;
}

int32_t RoundHalfUp(double v) { return static_cast<int32_t>(v + 0.5); }

double Distance(PointI p, PointI q) {
  const double dx = static_cast<double>(q.x) - p.x, dy = static_cast<double>(q.y) - p.y;
  return std::sqrt(dx * dx + dy * dy);
}

double Direction(PointI from, PointI to) {
  return std::atan2(static_cast<double>(to.y) - from.y, static_cast<double>(to.x) - from.x);
}

// A point reach pixels from p in direction theta, or p itself when that
// lies beyond any image (the probes then fail at the border).
PointI Toward(PointI p, double theta, double reach) {
  const double x = p.x + std::cos(theta) * reach, y = p.y + std::sin(theta) * reach;
  if (std::fabs(x) > 1e9 || std::fabs(y) > 1e9) return p;
  return PointI{RoundHalfUp(x), RoundHalfUp(y)};
}

}  // namespace

PointI ProbeRows(const BinaryImage& image, PointI point, int32_t direction, ProbeMode mode) {
  PointI best = point;
  PointI at = point;
  const int64_t lastRow = static_cast<int64_t>(image.height) - 1;
  const int64_t lastColumn = static_cast<int64_t>(image.width) - 1;
  for (int k = 0; k < 3; ++k) {
    int64_t row = static_cast<int64_t>(point.y) + static_cast<int64_t>(k) * direction;
    if (row < 0) row = 0;
    if (row > lastRow) row = lastRow;
    const int64_t from = std::max<int64_t>(0, static_cast<int64_t>(at.x) - 2);
    const int64_t to = std::min<int64_t>(lastColumn, static_cast<int64_t>(at.x) + 2);
    for (int64_t x = from; x <= to; ++x) {
      if (!Dark(image, x, row)) continue;
      at = PointI{static_cast<int32_t>(x), static_cast<int32_t>(row)};
      const bool further = at.x < best.x;
      const bool tie = at.x == best.x && ((mode == kProbeTopLeftmost && at.y < best.y) ||
                                          (mode == kProbeBottomLeftmost && at.y > best.y));
      if (further || tie) best = at;
      break;
    }
  }
  return mode == kProbeFollow ? at : best;
}

EdgeHit EdgeProbe(const BinaryImage& image, PointI point, double alpha, int side) {
  EdgeHit hit{false, point, 0};
  if (!Inside(image, point.x, point.y)) return hit;
  const double darkSide = side == 0 ? alpha + kPi / 2 : alpha - kPi / 2;
  const bool startDark = Dark(image, point.x, point.y);
  // From light look for the dark side; from dark step out of it.
  const double theta = startDark ? darkSide + kPi : darkSide;
  const double cx = std::cos(theta), cy = std::sin(theta);
  for (int k = 1; k <= 5; ++k) {
    const int64_t x = static_cast<int64_t>(point.x + k * cx + 0.5);
    const int64_t y = static_cast<int64_t>(point.y + k * cy + 0.5);
    if (!Inside(image, x, y)) return hit;
    if (Dark(image, x, y) == startDark) continue;
    hit.found = true;
    hit.edge = PointI{static_cast<int32_t>(x), static_cast<int32_t>(y)};
    hit.offset = startDark ? 1 - k : k - 1;
    return hit;
  }
  return hit;
}

int32_t ArmScore(const BinaryImage& image, PointI p0, PointI p1, int side, PointI* end) {
  *end = p0;
  const double length = Distance(p0, p1);
  const int64_t n = static_cast<int64_t>(length / 5);
  if (n < 1) return 0;
  const int64_t dx = static_cast<int64_t>(p1.x) - p0.x, dy = static_cast<int64_t>(p1.y) - p0.y;
  const double alpha = std::atan2(static_cast<double>(dy), static_cast<double>(dx));
  int64_t shift = 0;  // horizontal corrections of the samples so far
  int64_t count = 0;
  int32_t previous = 0;
  PointI stop = p0;
  for (int64_t i = 1; i <= n; ++i) {
    const int64_t sx = p0.x + (i * dx) / n + shift, sy = p0.y + (i * dy) / n;
    stop = PointI{static_cast<int32_t>(sx), static_cast<int32_t>(sy)};
    if (sx < 0 || sx > INT32_MAX) break;
    const EdgeHit hit = EdgeProbe(image, stop, alpha, side);
    if (!hit.found || (i > 1 && std::abs(hit.offset - previous) >= 4)) break;
    shift += hit.edge.x - sx;
    previous = hit.offset;
    *end = hit.edge;
    ++count;
  }
  // Stopped early: the arm ends somewhere between the last sample that met
  // the edge and the one that did not; step back from the latter.
  const double back = 1.2 * length / static_cast<double>(n);
  if (count > 0 && count < n && back > 1) {
    for (int j = 1; j < back; ++j) {
      const EdgeHit hit = EdgeProbe(image, Toward(stop, alpha + kPi, j), alpha, side);
      if (hit.found && std::abs(hit.offset - previous) <= 3) {
        *end = hit.edge;
        break;
      }
    }
  }
  return static_cast<int32_t>(100 * count / n);
}

bool TryLCorner(const BinaryImage& image, PointI p0, PointI p1, LCorner* corner) {
  const double d = std::floor(Distance(p0, p1));
  if (d < 50) return false;
  PointI e;
  if (ArmScore(image, p0, p1, 0, &e) != 100) return false;
  const double theta = Direction(p0, p1) + kPi / 2;
  PointI e0, e1;
  ArmScore(image, p0, Toward(p0, theta, 4.5 * d), 1, &e0);
  ArmScore(image, p1, Toward(p1, theta, 4.5 * d), 0, &e1);
  const double d0 = Distance(e0, p0), d1 = Distance(e1, p1);
  // Two long parallel arms make a box, not an L.
  const bool strong0 = d0 >= 100 && d1 >= d0 / 4;
  const bool strong1 = d1 >= 100 && d0 >= d1 / 4;
  if (d0 > 0 && d / d0 > 0.2 && d / d0 < 4.05 && !strong0) {
    *corner = LCorner{e, p0, e0};
    return true;
  }
  if (d1 > 0 && d / d1 > 0.2 && d / d1 < 4.05 && !strong1) {
    *corner = LCorner{e1, e, p0};
    return true;
  }
  return false;
}

TrackEnds RefineTrack(const BinaryImage& image, const RowTrack& track) {
  TrackEnds ends{};
  const int32_t lastRow = track.firstRow + track.span - 1;
  ends.top = ProbeRows(image, PointI{track.anchorX, track.firstRow}, -1, kProbeFollow);
  ends.bottom = ProbeRows(image, PointI{track.x, lastRow}, 1, kProbeFollow);
  const PointI leftTop{track.leftX, track.leftFirstRow};
  const PointI up = ProbeRows(image, leftTop, -1, kProbeTopLeftmost);
  const PointI down = ProbeRows(image, leftTop, 1, kProbeTopLeftmost);
  ends.left = down.x < up.x ? down : up;
  ends.leftLastRow = track.leftLastRow;
  const PointI leftBottom{track.leftX, track.leftLastRow};
  const PointI upLast = ProbeRows(image, leftBottom, -1, kProbeBottomLeftmost);
  const PointI downLast = ProbeRows(image, leftBottom, 1, kProbeBottomLeftmost);
  if (downLast.x > upLast.x) {
    ends.left = upLast;
  } else {
    ends.leftLastRow = downLast.y;
  }
  ends.span = ends.bottom.y - ends.top.y + 1;
  int32_t run = 0;
  if (Inside(image, ends.bottom.x, ends.bottom.y)) {
    for (int64_t x = ends.bottom.x; x < image.width && Dark(image, x, ends.bottom.y); ++x) ++run;
  }
  ends.bottomRun = run;
  return ends;
}

bool FindLCorner(const BinaryImage& image, const TrackEnds& ends, LCorner* corner) {
  bool found = TryLCorner(image, ends.bottom, ends.top, corner);
  if (!found) {
    PointI p0 = ends.bottom, p1 = ends.left;
    if (Direction(p0, p1) < -2.3561944901922747) {
      p1.y = ends.leftLastRow;
      p0.x = ends.bottom.x + ends.bottomRun - 1;
    }
    found = TryLCorner(image, p0, p1, corner);
  }
  if (!found) {
    PointI p0 = ends.left;
    if (Direction(p0, ends.top) < 0) p0.y = ends.leftLastRow;
    found = TryLCorner(image, p0, ends.top, corner);
  }
  if (!found) return false;
  const int64_t dx = static_cast<int64_t>(corner->a.x) + corner->c.x - corner->b.x;
  const int64_t dy = static_cast<int64_t>(corner->a.y) + corner->c.y - corner->b.y;
  for (const PointI& p : {corner->a, corner->b, corner->c}) {
    if (!Inside(image, p.x, p.y)) return false;
  }
  return Inside(image, dx, dy);
}

namespace {

// The reader's failures other than "no symbol" end the scan.
int32_t ReaderFailed() {
  PushErrorTrail(ReaderLastError(), 0, 0);
  PushErrorTrail(kCategoryStageFailed, kModuleScan, 171);
  return 1;
}

// Reads the symbol framed by an L found on the scan image and stores it.
int32_t ReadAtCorner(ScanContext* ctx, const LCorner& l, SymbolResultList* results) {
  const BinaryImage& image = ctx->image;
  const PointI d{l.a.x + l.c.x - l.b.x, l.a.y + l.c.y - l.b.y};
  // The shorter arm may be a timing side the probes left early: the region
  // also holds the square on the longer arm.
  const double la = Distance(l.a, l.b), lc = Distance(l.c, l.b);
  auto stretch = [&](PointI end, double k) {
    return PointI{RoundHalfUp(l.b.x + (end.x - l.b.x) * k), RoundHalfUp(l.b.y + (end.y - l.b.y) * k)};
  };
  const PointI a2 = lc > la && la > 0 ? stretch(l.a, lc / la) : l.a;
  const PointI c2 = la > lc && lc > 0 ? stretch(l.c, la / lc) : l.c;
  const PointI d2{a2.x + c2.x - l.b.x, a2.y + c2.y - l.b.y};
  int64_t x0 = std::min({l.b.x, d.x, a2.x, c2.x, d2.x}), x1 = std::max({l.b.x, d.x, a2.x, c2.x, d2.x});
  int64_t y0 = std::min({l.b.y, d.y, a2.y, c2.y, d2.y}), y1 = std::max({l.b.y, d.y, a2.y, c2.y, d2.y});
  // Arm ends can fall short of the symbol's corners: keep a margin.
  const int64_t margin = 4 + std::max(x1 - x0, y1 - y0) / 8;
  x0 = std::max<int64_t>(0, x0 - margin);
  y0 = std::max<int64_t>(0, y0 - margin);
  x1 = std::min<int64_t>(image.width - 1, x1 + margin);
  y1 = std::min<int64_t>(image.height - 1, y1 + margin);
  const int64_t w = x1 - x0 + 1, h = y1 - y0 + 1;
  Buffer<uint8_t> pixels = AllocUninitializedArray<uint8_t>(static_cast<size_t>(w * h));
  if (!pixels) {
    ReaderLastError() = -10103103;
    return ReaderFailed();
  }
  for (int64_t y = 0; y < h; ++y) {
    const uint8_t* in = image.pixels + static_cast<size_t>(y + y0) * image.stride + x0;
    uint8_t* out = pixels.get() + y * w;
    for (int64_t x = 0; x < w; ++x) out[x] = in[x] != 0 ? 0 : 255;
  }
  const BinaryImage region{static_cast<uint32_t>(w), static_cast<uint32_t>(w),
                           static_cast<uint32_t>(h), 1, 8, pixels.get()};
  auto local = [&](PointI p) { return PointD{p.x - x0 + 0.5, p.y - y0 + 0.5}; };
  Buffer<ReaderOutput> output = AllocArray<ReaderOutput>(1);
  if (!output) return 2;
  bool found = false;
  PointD fitted[3];
  const int32_t code =
      ReadDataMatrix(region, local(l.a), local(l.b), local(l.c), output.get(), &found, fitted);
  if (code == -6 || (code == 0 && !found)) return 0;
  if (code != 0) return ReaderFailed();
  if (output[0].text[0] == '\0' || results->count >= kMaxResults) return 0;

  // The symbol's own L, which the finder may have taken for another corner.
  const PointD a{fitted[0].x + x0, fitted[0].y + y0}, b{fitted[1].x + x0, fitted[1].y + y0},
      c{fitted[2].x + x0, fitted[2].y + y0};
  const SymbolRect rect{static_cast<int32_t>((a.x + c.x) / 2),
                        static_cast<int32_t>((a.y + c.y) / 2),
                        static_cast<int32_t>(std::hypot(b.x - c.x, b.y - c.y)),  // |A - D|
                        static_cast<int32_t>(std::hypot(a.x - b.x, a.y - b.y))};
  const double angle = std::atan2(c.y - b.y, c.x - b.x) * 180 / kPi;
  StoreResult(&ctx->image, results, SymbolTypeFromName(output[0].name), output[0], rect, angle,
              Erase::kNo);
  const int32_t erased = EraseSymbolArea(&ctx->image, rect, angle);
  if (erased != 0) {
    PushErrorTrail(kCategoryStepFailed, kModuleScan, 173);
    return erased;
  }
  return 0;
}

}  // namespace

int32_t DataMatrixHandOff(ScanContext* ctx, const RowTrack& track, SymbolResultList* results) {
  if (results->count >= kMaxResults) return 0;
  LCorner corner;
  if (!FindLCorner(ctx->image, RefineTrack(ctx->image, track), &corner)) return 0;
  return ReadAtCorner(ctx, corner, results);
}

int32_t DataMatrixRowStage(ScanContext* ctx, SymbolResultList* results) {
  TrackList& tracks = ctx->dataMatrixTracks;
  TrackList& candidates = ctx->dataMatrixCandidates;
  const int step = ctx->step;
  const int32_t row = ctx->row;
  candidates.count = 0;
  for (int32_t i = 2; i < ctx->runCount; i += 2) {
    if (ctx->runs[i] == 0) continue;
    AddCandidate(&candidates, ctx->runStarts[i], static_cast<int32_t>(ctx->runs[i]), row, 0, 0);
  }
  for (int32_t t = 0; t < tracks.count; ++t) {
    RowTrack& track = tracks.items[t];
    track.matched = 0;
    if (!track.pending) track.ready = 1;
    track.pending = 0;
  }
  for (int32_t c = 0; c < candidates.count; ++c) {
    const RowTrack& cand = candidates.items[c];
    bool taken = false;
    for (int32_t t = 0; t < tracks.count && !taken; ++t) {
      RowTrack& track = tracks.items[t];
      if (track.matched) continue;
      if (cand.x + cand.width - 1 < track.x || cand.x > track.x + track.width - 1) continue;
      if (std::abs(cand.x - track.x) >= 3 * step) continue;
      track.slope = static_cast<double>(cand.x - track.x) / step;
      track.x = cand.x;
      track.width = cand.width;
      track.span += (track.misses + 1) * step;
      track.misses = 0;
      track.matched = 1;
      if (cand.x < track.leftX) {
        track.leftX = cand.x;
        track.leftFirstRow = track.leftLastRow = row;
      } else if (cand.x == track.leftX) {
        track.leftLastRow = row;
      }
      taken = true;
    }
    if (taken || tracks.count >= tracks.capacity) continue;
    RowTrack& fresh = tracks.items[tracks.count++];
    fresh = cand;
    fresh.anchorX = cand.x;
    fresh.matched = 1;
    fresh.pending = 1;
    fresh.ready = 0;
    fresh.leftX = cand.x;
    fresh.leftFirstRow = fresh.leftLastRow = row;
  }
  // An ended track is examined once, before pruning can drop it.
  for (int32_t t = 0; t < tracks.count; ++t) {
    RowTrack& track = tracks.items[t];
    if (!track.ready || track.matched || track.span < 3 || (track.done & kDoneDataMatrix))
      continue;
    track.done |= kDoneDataMatrix;
    const int32_t code = DataMatrixHandOff(ctx, track, results);
    if (code != 0) return code;
  }
  int32_t kept = 0;
  for (int32_t t = 0; t < tracks.count; ++t) {
    RowTrack track = tracks.items[t];
    if (!track.matched) {
      if (track.misses >= 2) continue;
      if (track.misses == 0 && track.span > 0)
        track.slope = static_cast<double>((track.x - track.anchorX) / track.span);
      track.x += static_cast<int32_t>(track.slope);
      ++track.misses;
    }
    if (InsideFoundArea(*ctx, track)) track.done |= kDoneDataMatrix;
    tracks.items[kept++] = track;
  }
  tracks.count = kept;
  return 0;
}

}  // namespace barcode
