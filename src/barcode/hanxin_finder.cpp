// Han Xin row stage: 1:1:1:1:3 and 3:1:1:1:1 row windows are tracked down
// the page; a track that has covered a few rows is confirmed as a finder
// block by measuring it, finding the symbol's axis from the block's long
// diagonal, and testing eight rays for the nested strokes behind the block.
#include <cmath>
#include <cstdlib>

#include "barcode/bar_trace.h"
#include "barcode/error_trail.h"
#include "barcode/group_stages.h"
#include "barcode/hanxin.h"
#include "barcode/scan.h"

namespace barcode {

int64_t FloorToInt(double v) {
  if (!(v > -1e15 && v < 1e15)) return -1;
  const int64_t t = static_cast<int64_t>(v);
  return t - (static_cast<double>(t) > v ? 1 : 0);
}

int DarkReach(const HxPixels& img, double cx, double cy, double dx, double dy, int limit) {
  int n = 0;
  while (n < limit && img.DarkAt(cx + (n + 1) * dx, cy + (n + 1) * dy)) ++n;
  return n;
}

namespace {

constexpr int kHanXinTolerance = 8;
const int32_t kHanXinLast[5] = {1, 1, 1, 1, 3};
const int32_t kHanXinFirst[5] = {3, 1, 1, 1, 1};
constexpr double kSweepStep = 0.02;
constexpr int32_t kRayPass = 500;
constexpr int32_t kTriplePass = 1500;
// A ray run longer than this many block sides is not a finder stroke.
constexpr int kRayReach = 4;
// Rows over which a track is tried as a finder: blocks of 16-pixel modules.
constexpr int kConfirmRows = 48;

// The directions of the diagonal sweep, worked out once.
struct Sweep {
  int count = 0;
  double cos[80], sin[80];
  Sweep() {
    for (; count * kSweepStep < kHxPi / 2; ++count) {
      cos[count] = std::cos(count * kSweepStep);
      sin[count] = std::sin(count * kSweepStep);
    }
  }
};

// The five runs along a ray: the whole dark run through the centre, then
// the four runs outward. False when a run does not end within reach.
bool RayRuns(const HxPixels& img, double cx, double cy, double angle, int reach, uint32_t runs[5]) {
  const double dx = std::cos(angle), dy = std::sin(angle);
  if (!img.DarkAt(cx, cy)) return false;
  const int back = DarkReach(img, cx, cy, -dx, -dy, reach);
  const int front = DarkReach(img, cx, cy, dx, dy, reach);
  if (back >= reach || front >= reach) return false;
  runs[0] = static_cast<uint32_t>(back + front + 1);
  int pos = front + 1;  // first step past the block
  bool dark = false;
  for (int k = 1; k < 5; ++k, dark = !dark) {
    uint32_t n = 0;
    while (static_cast<int>(n) < reach && img.DarkAt(cx + pos * dx, cy + pos * dy) == dark) {
      ++n;
      ++pos;
    }
    if (n == 0 || static_cast<int>(n) >= reach) return false;
    runs[k] = n;
  }
  return true;
}

double Wrap(double angle) {
  const double full = 2 * kHxPi;
  angle = std::fmod(angle, full);
  return angle < 0 ? angle + full : angle;
}

// A block met again by a second track of the same rows is one finder.
bool Listed(const FinderList& finders, const FinderPoint& f) {
  for (int32_t i = 0; i < finders.count; ++i) {
    const FinderPoint& g = finders.items[i];
    const double turn = std::fabs(g.orientation - f.orientation);
    if (std::hypot(g.x - f.x, g.y - f.y) <= f.size / 4 &&
        std::min(turn, 2 * kHxPi - turn) < kHxPi / 4)
      return true;
  }
  return false;
}

}  // namespace

bool ConfirmHanXinFinder(const BinaryImage& image, int32_t x, int32_t width, int32_t row,
                         FinderPoint* finder) {
  const HxPixels img(image);
  if (width <= 0 || !img.Dark(x + width / 2, row)) return false;
  // 1. Centre and size of the block, traced up and down.
  BarLine line;
  if (!TraceBar(image, x, width, row, static_cast<int>(width * 0.14), &line)) return false;
  const int64_t topX = line.Column(line.topRow), bottomX = line.Column(line.bottomRow);
  // The fitted line gives the column to a fraction of a pixel; a rounded
  // column would tilt small-module frames by a module over the symbol.
  const double cx = line.a + line.b * ((line.topRow + line.bottomRow) / 2) + 0.5;
  const double cy = static_cast<double>((line.topRow + line.bottomRow) / 2) + 0.5;
  const int64_t dx = AwayFromZero(bottomX - topX), dy = AwayFromZero(line.bottomRow - line.topRow);
  const double size = std::sqrt(static_cast<double>(dx * dx + dy * dy)) + 0.5;
  const int limit = static_cast<int>(size);
  if (limit < 2) return false;

  // 2. The block's longest line through the centre is a diagonal.
  // Pixel steps make the count flat near its top; the middle of the first
  // stretch of largest counts is the diagonal.
  // Every ray starts at the centre: a light centre cannot be a block.
  if (!img.DarkAt(cx, cy)) return false;
  static const Sweep sweep;
  int best = -1, first = 0, last = 0;
  bool open = false;
  for (int i = 0; i < sweep.count; ++i) {
    const double ux = sweep.cos[i], uy = sweep.sin[i];
    const int count =
        DarkReach(img, cx, cy, ux, uy, limit) + DarkReach(img, cx, cy, -ux, -uy, limit);
    if (count > best) {
      best = count, first = last = i, open = true;
    } else if (count == best && open) {
      last = i;
    } else {
      open = false;
    }
  }
  const double a = (first + last) / 2.0 * kSweepStep - kHxPi / 4;

  // 3. The strokes behind the block show on three neighbouring rays.
  const int reach = kRayReach * limit;
  int32_t score[8];
  uint32_t straight[8] = {};
  for (int k = 0; k < 8; ++k) {
    uint32_t runs[5];
    score[k] = 65536;
    if (!RayRuns(img, cx, cy, a + k * kHxPi / 4, reach, runs)) continue;
    score[k] = PatternVariance(runs, 5, kHanXinFirst, 7, 512);
    straight[k] = runs[0];
  }
  static const int kTriples[4][3] = {{4, 5, 6}, {6, 7, 0}, {0, 1, 2}, {2, 3, 4}};
  int winner = -1;
  int32_t winnerSum = kTriplePass;
  for (int i = 0; i < 4; ++i) {
    const int* ray = kTriples[i];
    if (score[ray[0]] >= kRayPass || score[ray[1]] >= kRayPass || score[ray[2]] >= kRayPass)
      continue;
    const int32_t sum = score[ray[0]] + score[ray[1]] + score[ray[2]];
    if (sum < winnerSum) winnerSum = sum, winner = i;
  }
  if (winner < 0) return false;
  *finder = FinderPoint{cx, cy, static_cast<double>(straight[kTriples[winner][0]]),
                        Wrap(a + winner * kHxPi / 2)};
  return true;
}

int32_t HanXinRowStage(ScanContext* ctx) {
  TrackList& tracks = ctx->hanXinTracks;
  TrackList& candidates = ctx->hanXinCandidates;
  candidates.count = 0;
  for (int32_t i = 0; i + 4 < ctx->runCount; i += 2) {
    const uint32_t* w = ctx->runs.get() + i;
    if (PatternVariance(w, 5, kHanXinLast, 7, 512) < 500) {
      AddCandidate(&candidates, ctx->runStarts[i + 4], static_cast<int32_t>(w[4]), ctx->row, 1, 0);
    } else if (PatternVariance(w, 5, kHanXinFirst, 7, 512) < 500) {
      AddCandidate(&candidates, ctx->runStarts[i], static_cast<int32_t>(w[0]), ctx->row, 1, 1);
    }
  }
  ClearMatched(&tracks);
  MergeCandidates(&tracks, candidates, ctx->step, kHanXinTolerance);
  PruneTracks(&tracks, ctx->step);
  FinderList& finders = ctx->hanXinFinders;
  int32_t kept = 0;
  for (int32_t t = 0; t < tracks.count; ++t) {
    RowTrack& track = tracks.items[t];
    bool drop = false;
    if (track.matched && track.span > 3) {
      // A track may start in data rows above a block and reach it only
      // later, or run on from one block through data into the next: it is
      // tried on each row, and ends once confirmed or a block's height on.
      FinderPoint finder;
      const bool confirmed =
          ConfirmHanXinFinder(ctx->image, track.x, track.width, ctx->row, &finder);
      drop = confirmed || track.span > kConfirmRows;
      if (confirmed && !Listed(finders, finder)) {
        if (finders.count >= kMaxFinderPoints - 1) {
          PushErrorTrail(kCategoryMemory, kModuleScan, 125);
          return 1;
        }
        finders.items[finders.count++] = finder;
      }
    }
    if (!drop) tracks.items[kept++] = track;
  }
  tracks.count = kept;
  return 0;
}

}  // namespace barcode
