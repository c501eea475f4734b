// The PDF417 group: start and stop windows in each row, followed as tracks
// and made into straight segments; after the row pass the segments are
// paired (or a stop is searched for a lone start) and the symbol between
// them is read and stored.
#include <cmath>
#include <cstring>

#include "barcode/alloc.h"
#include "barcode/error_trail.h"
#include "barcode/group_stages.h"
#include "barcode/pdf417.h"
#include "barcode/result_store.h"
#include "barcode/scan.h"

namespace barcode {

namespace {

constexpr int kPdf417Tolerance = 5;
constexpr int kMinSegmentRows = 21;
constexpr int kCandidateWidth = 10;
constexpr int kEdgeReach = 3;        // pixels either side of the line for an edge
constexpr int kTraceMisses = 2;      // rows without an edge that end a trace
constexpr double kAngleLimit = 0.1;  // radians, pairing and the pass-2 stop line
constexpr int kStopSearchLines = 45;
constexpr int32_t kMaxFailedReads = 4;
constexpr double kStopLineReach = 3.0;  // pixels a found stop point may lie off the line
const int32_t kStart[8] = {8, 1, 1, 1, 1, 1, 1, 3};
const int32_t kStartReversed[8] = {3, 1, 1, 1, 1, 1, 1, 8};
const int32_t kStop[9] = {7, 1, 1, 3, 1, 1, 1, 2, 1};
const int32_t kStopReversed[9] = {1, 2, 1, 1, 1, 3, 1, 1, 7};
constexpr double kPi = 3.14159265358979323846;

bool Dark(const BinaryImage& img, int64_t x, int64_t y) {
  return x >= 0 && y >= 0 && x < img.width && y < img.height &&
         img.pixels[static_cast<size_t>(y) * img.stride + static_cast<size_t>(x)] != 0;
}

// The outer edge of a kind in row y nearest column x: the first dark column
// of a left edge (start read left to right, reversed stop), else the last.
bool FindEdge(const BinaryImage& img, int32_t kind, int64_t y, double x, double* edge) {
  const bool left = kind == kPdfStartKind || kind == kPdfStopReversedKind;
  const int64_t centre = static_cast<int64_t>(std::floor(x + 0.5));
  for (int d = 0; d <= kEdgeReach; ++d) {
    for (int sign = -1; sign <= 1; sign += 2) {
      const int64_t c = centre + sign * d;
      if (Dark(img, c, y) && !Dark(img, left ? c - 1 : c + 1, y)) {
        *edge = static_cast<double>(c);
        return true;
      }
      if (d == 0) break;
    }
  }
  return false;
}

// Fits x = a + b y through the edge of every row of the track and traces it
// on up and down the image, then appends the segment.
void MakeSegment(ScanContext* ctx, const RowTrack& track) {
  Pdf417SegmentList& list = ctx->pdf417Segments;
  if (list.count >= kMaxPdf417Segments) return;
  const BinaryImage& img = ctx->image;
  const int64_t top = track.firstRow, bottom = static_cast<int64_t>(track.firstRow) + track.span - 1;
  const double xTop = track.anchorX - kCandidateWidth / 2;
  // Columns advanced along the slope while the track missed rows come off.
  const double xBottom = track.x - track.misses * static_cast<int32_t>(track.slope);
  const double slope = bottom > top ? (xBottom - xTop) / static_cast<double>(bottom - top) : 0;
  double n = 0, sy = 0, sx = 0, syy = 0, sxy = 0;
  auto add = [&](int64_t y, double x) {
    n += 1;
    sy += y;
    sx += x;
    syy += static_cast<double>(y) * y;
    sxy += x * y;
  };
  for (int64_t y = top; y <= bottom; ++y) {
    double e;
    if (FindEdge(img, track.kind, y, xTop + slope * (y - top), &e)) add(y, e);
  }
  if (n < 2) return;
  auto fit = [&](double* a, double* b) {
    const double det = n * syy - sy * sy;
    *b = det != 0 ? (n * sxy - sy * sx) / det : 0;
    *a = (sx - *b * sy) / n;
  };
  double a, b;
  fit(&a, &b);
  int64_t first = top, last = bottom;
  for (int dir = -1; dir <= 1; dir += 2) {
    int misses = 0;
    int64_t y = dir < 0 ? top - 1 : bottom + 1;
    for (; y >= 0 && y < img.height && misses < kTraceMisses; y += dir) {
      double e;
      if (!FindEdge(img, track.kind, y, a + b * y, &e)) {
        ++misses;
        continue;
      }
      misses = 0;
      add(y, e);
      if (dir < 0) first = y;
      else last = y;
    }
  }
  fit(&a, &b);
  Pdf417Segment s{};
  s.x1 = static_cast<float>(a + b * first);
  s.y1 = static_cast<float>(first);
  s.x2 = static_cast<float>(a + b * last);
  s.y2 = static_cast<float>(last);
  if (s.x1 < 0 || s.x2 < 0 || s.x1 >= img.width || s.x2 >= img.width) return;
  s.angle = std::atan2(static_cast<double>(s.y2 - s.y1), static_cast<double>(s.x2 - s.x1));
  s.kind = track.kind;
  list.items[list.count++] = s;
}

}  // namespace

int32_t Pdf417RowStage(ScanContext* ctx) {
  TrackList& tracks = ctx->pdf417Tracks;
  TrackList& candidates = ctx->pdf417Candidates;
  candidates.count = 0;
  const uint32_t* runs = ctx->runs.get();
  const int32_t* starts = ctx->runStarts.get();
  auto lastColumn = [&](int32_t i) { return starts[i] + static_cast<int32_t>(runs[i]) - 1; };
  // x is the pattern's outer edge, away from the codewords.
  for (int32_t i = 0; i + 8 <= ctx->runCount; ++i) {
    const bool dark = (i % 2) == 0;
    if (dark && PatternVariance(runs + i, 8, kStart, 17, 512) < 800) {
      AddCandidate(&candidates, starts[i], kCandidateWidth, ctx->row, 0, kPdfStartKind);
    } else if (!dark && PatternVariance(runs + i, 8, kStartReversed, 17, 512) < 800) {
      AddCandidate(&candidates, lastColumn(i + 7), kCandidateWidth, ctx->row, 0,
                   kPdfStartReversedKind);
    } else if (dark && i + 9 <= ctx->runCount) {
      if (PatternVariance(runs + i, 9, kStop, 18, 512) < 800)
        AddCandidate(&candidates, lastColumn(i + 8), kCandidateWidth, ctx->row, 0, kPdfStopKind);
      else if (PatternVariance(runs + i, 9, kStopReversed, 18, 512) < 800)
        AddCandidate(&candidates, starts[i], kCandidateWidth, ctx->row, 0, kPdfStopReversedKind);
    }
  }
  ClearMatched(&tracks);
  MergeCandidates(&tracks, candidates, ctx->step, kPdf417Tolerance);
  // A long stripe becomes a segment when its track ends: dropped now for its
  // misses, or alive in the last row scanned.
  const bool lastRow = static_cast<int64_t>(ctx->row) + ctx->step >= ctx->image.height;
  const int maxMisses = 15 / ctx->step;
  for (int32_t t = 0; t < tracks.count; ++t) {
    RowTrack& track = tracks.items[t];
    if (track.span < kMinSegmentRows || (track.done & kDoneLinear)) continue;
    if (lastRow || (!track.matched && track.misses >= maxMisses)) {
      MakeSegment(ctx, track);
      track.done |= kDoneLinear;
    }
  }
  PruneTracks(&tracks, ctx->step);
  return 0;
}

void RemoveDuplicateSegments(Pdf417SegmentList* list) {
  int32_t kept = 0;
  for (int32_t i = 0; i < list->count; ++i) {
    bool seen = false;
    for (int32_t j = 0; j < kept && !seen; ++j)
      seen = std::memcmp(&list->items[i], &list->items[j], 16) == 0;
    if (!seen) list->items[kept++] = list->items[i];
  }
  list->count = kept;
}

void DoubleVertically(const BinaryImage& img, uint8_t* target) {
  // Locals, so that the byte stores cannot be taken to change them and the
  // row loop vectorises.
  const uint32_t width = img.width;
  const uint64_t h = img.height, h2 = 2 * h;
  for (uint64_t i = 0; i < h2; ++i) {
    const double pos = h > 1 ? static_cast<double>(i) * (h - 1) / (h2 - 1) : 0;
    const uint64_t r0 = static_cast<uint64_t>(pos);
    const uint64_t r1 = r0 + 1 < h ? r0 + 1 : r0;
    const double f = pos - r0;
    const uint8_t* a = img.pixels + r0 * img.stride;
    const uint8_t* b = img.pixels + r1 * img.stride;
    uint8_t* o = target + i * width;
    // Two dark neighbours stay dark and two light ones light; a dark pixel
    // over a light one (or under it) is dark when its own weight alone makes
    // the resized value pass 128, the same for the whole row.
    const uint8_t keepA = static_cast<int>(255.0 * ((1 - f) * 1 + f * 0)) > 128;
    const uint8_t keepB = static_cast<int>(255.0 * ((1 - f) * 0 + f * 1)) > 128;
    for (uint32_t x = 0; x < width; ++x) {
      const uint8_t p = a[x] != 0, q = b[x] != 0;
      o[x] = static_cast<uint8_t>((p & q) | (p & keepA) | (q & keepB));
    }
  }
}

namespace {

struct Point {
  double x, y;
};

double Fold(double a) {
  a = std::fmod(std::fabs(a), kPi);
  return a > kPi / 2 ? kPi - a : a;
}

bool IsStart(int32_t kind) { return kind == kPdfStartKind || kind == kPdfStartReversedKind; }

// Start and stop of one symbol: parallel, facing each other across, the
// start on the side the symbol is read from.
bool Pairs(const Pdf417Segment& start, const Pdf417Segment& stop) {
  const bool upright = start.kind == kPdfStartKind;
  if (stop.kind != (upright ? kPdfStopKind : kPdfStopReversedKind)) return false;
  if (Fold(start.angle - stop.angle) > kAngleLimit) return false;
  const double dx = (stop.x1 + stop.x2 - start.x1 - start.x2) / 2.0;
  const double dy = (stop.y1 + stop.y2 - start.y1 - start.y2) / 2.0;
  if (Fold(std::atan2(dy, dx) - start.angle) < kPi / 2 - kAngleLimit) return false;
  const bool nearVertical = Fold(start.angle - kPi / 2) < kPi / 4;
  const double ahead = nearVertical ? dx : dy;
  return upright ? ahead > 0 : ahead < 0;
}

// The segment turned so that it runs with the symbol's rows going down when
// the symbol is read left to right: across = reading direction.
Pdf417Segment Oriented(Pdf417Segment s, Point across) {
  const double dx = s.x2 - s.x1, dy = s.y2 - s.y1;
  if (dx * -across.y + dy * across.x < 0) {
    std::swap(s.x1, s.x2);
    std::swap(s.y1, s.y2);
    s.angle = std::atan2(-dy, -dx);
  }
  return s;
}

// The scan image doubled in height, read through a bilinear resize.
Buffer<uint8_t> DoubleImage(const BinaryImage& img, BinaryImage* doubled) {
  const uint64_t h2 = 2ull * img.height;
  if (h2 > UINT32_MAX) return nullptr;
  Buffer<uint8_t> out = AllocUninitializedArray<uint8_t>(static_cast<size_t>(img.width) * h2);
  if (!out) return nullptr;
  DoubleVertically(img, out.get());
  *doubled = BinaryImage{img.width, img.width, static_cast<uint32_t>(h2), 1, 8, out.get()};
  return out;
}

Pdf417Segment Doubled(Pdf417Segment s) {
  s.y1 = 2 * s.y1 + 1;
  s.y2 = 2 * s.y2 + 1;
  return s;
}

// The doubled copy, made once and again only after a read erased a symbol.
struct DoubledCopy {
  Buffer<uint8_t> pixels;
  BinaryImage image{};
  bool tried = false;
};

// Reads the pair and stores a result. 0 (read or not), 1 to end the scan.
int32_t ReadPair(ScanContext* ctx, Pdf417Segment* start, Pdf417Segment* stop, int flag,
                 SymbolResultList* results, bool* read, DoubledCopy* copy) {
  *read = false;
  const Point across{(stop->x1 + stop->x2 - start->x1 - start->x2) / 2.0,
                     (stop->y1 + stop->y2 - start->y1 - start->y2) / 2.0};
  const Pdf417Segment s1 = Oriented(*start, across), s2 = Oriented(*stop, across);
  Buffer<ReaderOutput> output = AllocArray<ReaderOutput>(1);
  if (!output) {
    PushErrorTrail(kCategoryMemory, kModuleScan, 187);
    return 1;
  }
  if (!copy->tried) {
    copy->pixels = DoubleImage(ctx->image, &copy->image);
    copy->tried = true;
  }
  const int32_t code =
      copy->pixels ? ReadPdf417(copy->image, Doubled(s1), Doubled(s2), output.get(), flag, 2)
                   : ReadPdf417(ctx->image, s1, s2, output.get(), flag);
  if (code == 1 || code == kPdfStreamOutside) {
    PushErrorTrail(ReaderLastError(), 0, 0);
    PushErrorTrail(kCategoryStageFailed, kModuleScan, 183);
    return 1;
  }
  if (code != 0 || output[0].text[0] == '\0' || results->count >= kMaxResults) return 0;
  *read = true;
  copy->pixels.reset();
  copy->tried = false;
  const double dx = s1.x2 - s1.x1, dy = s1.y2 - s1.y1;
  const SymbolRect rect{(static_cast<int32_t>(s1.x1) + static_cast<int32_t>(s2.x2)) / 2,
                        (static_cast<int32_t>(s1.y1) + static_cast<int32_t>(s2.y2)) / 2,
                        static_cast<int32_t>(std::hypot(s1.x1 - s2.x1, s1.y1 - s2.y1)) + 1,
                        static_cast<int32_t>(std::hypot(dx, dy)) + 1};
  StoreResult(&ctx->image, results, flag == 0 ? kPdf417 : kPdf417Flagged, output[0], rect,
              -std::atan2(dx, dy) * 180.0 / kPi + 0.0);
  return 0;
}

// Looks for the stop pattern across from a lone start segment: lines along
// the reading direction from points spread over the segment; their stop
// outer edges must all lie on one line parallel to the start.
bool SearchStop(const BinaryImage& img, const Pdf417Segment& start, Pdf417Segment* stop) {
  const double len = std::hypot(start.x2 - start.x1, start.y2 - start.y1);
  if (len < 1) return false;
  const Point u{(start.x2 - start.x1) / len, (start.y2 - start.y1) / len};
  // Reading direction: u turned a quarter back (down -> right).
  Point n{u.y, -u.x};
  if (n.x < 0 || (n.x == 0 && n.y < 0)) n = Point{-n.x, -n.y};
  const int64_t reach = static_cast<int64_t>(img.width) + img.height;
  Buffer<uint32_t> runs = AllocArray<uint32_t>(static_cast<size_t>(reach) + 2);
  Buffer<int32_t> ends = AllocArray<int32_t>(static_cast<size_t>(reach) + 2);
  if (!runs || !ends) return false;
  Point found[kStopSearchLines];
  int count = 0;
  for (int k = 0; k < kStopSearchLines; ++k) {
    const double t = len * (k + 0.5) / kStopSearchLines;
    const Point p{start.x1 + t * u.x, start.y1 + t * u.y};
    int32_t m = 0;
    bool dark = true;
    runs[0] = 0;
    int64_t step = 0;
    for (; step < reach; ++step) {
      const int64_t x = static_cast<int64_t>(std::floor(p.x + step * n.x + 0.5));
      const int64_t y = static_cast<int64_t>(std::floor(p.y + step * n.y + 0.5));
      if (x < 0 || y < 0 || x >= img.width || y >= img.height) break;
      const bool d = img.pixels[static_cast<size_t>(y) * img.stride + static_cast<size_t>(x)] != 0;
      if (d != dark) {
        ends[m] = static_cast<int32_t>(step - 1);
        runs[++m] = 0;
        dark = d;
      }
      ++runs[m];
    }
    ends[m] = static_cast<int32_t>(step - 1);
    // Past the start pattern (8 runs), the first stop window.
    for (int32_t i = 8; i + 9 <= m + 1; i += 2) {
      if (PatternVariance(runs.get() + i, 9, kStop, 18, 512) >= 800) continue;
      const double e = ends[i + 8];
      found[count++] = Point{p.x + e * n.x, p.y + e * n.y};
      break;
    }
  }
  if (count < 2) return false;
  // The points as one line x = a + b y (or y = a + b x for a lying start);
  // a point off it (a stop-like window among the codewords, another
  // symbol) is dropped, as long as most points stay.
  const bool vertical = std::fabs(u.y) >= std::fabs(u.x);
  const int found0 = count;
  double a = 0, b = 0;
  for (;;) {
    double sn = 0, sp = 0, sq = 0, spp = 0, spq = 0;
    for (int i = 0; i < count; ++i) {
      const double pp = vertical ? found[i].y : found[i].x, q = vertical ? found[i].x : found[i].y;
      sn += 1;
      sp += pp;
      sq += q;
      spp += pp * pp;
      spq += pp * q;
    }
    const double det = sn * spp - sp * sp;
    if (det == 0) return false;
    b = (sn * spq - sp * sq) / det;
    a = (sq - b * sp) / sn;
    int worst = 0;
    double off = -1;
    for (int i = 0; i < count; ++i) {
      const double pp = vertical ? found[i].y : found[i].x, q = vertical ? found[i].x : found[i].y;
      if (std::fabs(a + b * pp - q) > off) off = std::fabs(a + b * pp - q), worst = i;
    }
    if (off <= kStopLineReach) break;
    if (count - 1 < 2 || 2 * (count - 1) < found0) return false;  // more than one line
    found[worst] = found[--count];
  }
  // The stop line over the start's extent.
  const double p1 = vertical ? start.y1 : start.x1, p2 = vertical ? start.y2 : start.x2;
  Pdf417Segment s{};
  s.kind = kPdfStopKind;
  if (vertical) {
    s.x1 = static_cast<float>(a + b * p1);
    s.y1 = static_cast<float>(p1);
    s.x2 = static_cast<float>(a + b * p2);
    s.y2 = static_cast<float>(p2);
  } else {
    s.x1 = static_cast<float>(p1);
    s.y1 = static_cast<float>(a + b * p1);
    s.x2 = static_cast<float>(p2);
    s.y2 = static_cast<float>(a + b * p2);
  }
  s.angle = std::atan2(static_cast<double>(s.y2 - s.y1), static_cast<double>(s.x2 - s.x1));
  if (Fold(s.angle - start.angle) > kAngleLimit) return false;
  *stop = s;
  return true;
}

}  // namespace

int32_t Pdf417PostStage(ScanContext* ctx, SymbolResultList* results) {
  ObserveStage("pdf417", *ctx);
  Pdf417SegmentList& list = ctx->pdf417Segments;
  for (int32_t i = 0; i < list.count; ++i) list.items[i].used = 0;
  DoubledCopy copy;
  // Reads that came to nothing, per segment: a few, so that a page of many
  // parallel stripes cannot make every pair a read.
  int32_t failed[kMaxPdf417Segments] = {};
  // Pass 1: pairs of a start and a stop.
  for (int32_t i = 0; i < list.count; ++i) {
    for (int32_t j = i + 1; j < list.count && !list.items[i].used; ++j) {
      Pdf417Segment& a = list.items[i];
      Pdf417Segment& b = list.items[j];
      if (b.used || IsStart(a.kind) == IsStart(b.kind)) continue;
      if (failed[i] >= kMaxFailedReads || failed[j] >= kMaxFailedReads) continue;
      Pdf417Segment& start = IsStart(a.kind) ? a : b;
      Pdf417Segment& stop = IsStart(a.kind) ? b : a;
      if (!Pairs(start, stop)) continue;
      bool read = false;
      if (ReadPair(ctx, &start, &stop, 0, results, &read, &copy) != 0) return 1;
      if (read) {
        a.used = b.used = 1;
      } else {
        ++failed[i];
        ++failed[j];
      }
    }
  }
  // Pass 2: a lone start with the stop searched for.
  for (int32_t i = 0; i < list.count; ++i) {
    Pdf417Segment& start = list.items[i];
    if (start.used || start.kind != kPdfStartKind || failed[i] >= kMaxFailedReads) continue;
    Pdf417Segment stop{};
    if (!SearchStop(ctx->image, start, &stop)) continue;
    bool read = false;
    if (ReadPair(ctx, &start, &stop, 1, results, &read, &copy) != 0) return 1;
    if (read) start.used = 1;
  }
  return 0;
}

}  // namespace barcode
