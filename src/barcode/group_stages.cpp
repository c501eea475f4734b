#include "barcode/group_stages.h"

#include <algorithm>
#include <cstring>

#include "barcode/error_trail.h"
#include "barcode/scan.h"

namespace barcode {

namespace {

constexpr int kPdf417Tolerance = 5;
constexpr int kPdf417MinRows = 21;
const int32_t kPdfStart[8] = {8, 1, 1, 1, 1, 1, 1, 3};
const int32_t kPdfStartReversed[8] = {3, 1, 1, 1, 1, 1, 1, 8};
const int32_t kPdfStop[9] = {7, 1, 1, 3, 1, 1, 1, 2, 1};
const int32_t kPdfStopReversed[9] = {1, 2, 1, 1, 1, 3, 1, 1, 7};
const int32_t kBullseye[11] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};

bool AppendFinder(FinderList* list, double x, double y, double size, double orientation) {
  if (list->count >= kMaxFinderPoints - 1) return false;
  list->items[list->count++] = FinderPoint{x, y, size, orientation};
  return true;
}

// Counts the 11 runs met going down a column from a start row, the start
// pixel's run in the middle; true when they look like the bullseye rings.
bool VerticalRings(const BinaryImage& image, int32_t column, int32_t row) {
  if (column < 0 || row < 0 || column >= static_cast<int32_t>(image.width) ||
      row >= static_cast<int32_t>(image.height))
    return false;
  auto at = [&](int32_t y) { return image.pixels[static_cast<size_t>(y) * image.stride + column]; };
  uint32_t runs[11] = {};
  // Up from the row: the centre run and five runs above it.
  int32_t y = row;
  uint8_t colour = at(row) != 0;
  int32_t idx = 5;
  while (y >= 0 && idx >= 0) {
    if ((at(y) != 0) != colour) {
      colour ^= 1;
      --idx;
      continue;
    }
    ++runs[idx];
    --y;
  }
  if (idx >= 0) return false;
  y = row + 1;
  colour = at(row) != 0;
  idx = 5;
  while (y < static_cast<int32_t>(image.height) && idx <= 10) {
    if ((at(y) != 0) != colour) {
      colour ^= 1;
      ++idx;
      continue;
    }
    ++runs[idx];
    ++y;
  }
  if (idx <= 10) return false;
  return PatternVariance(runs, 11, kBullseye, 11, 512) < 700;
}

}  // namespace

int32_t DataMatrixRowStage(ScanContext* ctx, SymbolResultList* results) {
  TrackList& tracks = ctx->dataMatrixTracks;
  TrackList& candidates = ctx->dataMatrixCandidates;
  candidates.count = 0;
  for (int32_t i = 2; i < ctx->runCount; i += 2) {
    if (ctx->runs[i] == 0) continue;
    AddCandidate(&candidates, ctx->runStarts[i], static_cast<int32_t>(ctx->runs[i]), ctx->row, 0,
                 0);
  }
  ClearMatched(&tracks);
  const int step = ctx->step;
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
      taken = true;
    }
    if (!taken && tracks.count < tracks.capacity) {
      tracks.items[tracks.count] = cand;
      tracks.items[tracks.count++].matched = 1;
    }
  }
  // An ended track (not matched in this row) is examined once.
  for (int32_t t = 0; t < tracks.count; ++t) {
    RowTrack& track = tracks.items[t];
    if (track.matched || track.span < 3 || (track.done & kDoneDataMatrix)) continue;
    track.done |= kDoneDataMatrix;
    int32_t code = DataMatrixHandOff(ctx, track, results);
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
    if (InsideFoundArea(*ctx, track)) continue;
    tracks.items[kept++] = track;
  }
  tracks.count = kept;
  return 0;
}

int32_t Pdf417RowStage(ScanContext* ctx) {
  TrackList& tracks = ctx->pdf417Tracks;
  TrackList& candidates = ctx->pdf417Candidates;
  candidates.count = 0;
  const uint32_t* runs = ctx->runs.get();
  const int32_t* starts = ctx->runStarts.get();
  auto lastColumn = [&](int32_t i) { return starts[i] + static_cast<int32_t>(runs[i]) - 1; };
  for (int32_t i = 0; i + 8 <= ctx->runCount; ++i) {
    const bool dark = (i % 2) == 0;
    if (dark && PatternVariance(runs + i, 8, kPdfStart, 17, 512) < 800) {
      AddCandidate(&candidates, starts[i], 10, ctx->row, 0, 2);
    } else if (!dark && PatternVariance(runs + i, 8, kPdfStartReversed, 17, 512) < 800) {
      AddCandidate(&candidates, lastColumn(i + 7), 10, ctx->row, 0, 3);
    } else if (dark && i + 9 <= ctx->runCount) {
      if (PatternVariance(runs + i, 9, kPdfStop, 18, 512) < 800)
        AddCandidate(&candidates, starts[i], 10, ctx->row, 0, 4);
      else if (PatternVariance(runs + i, 9, kPdfStopReversed, 18, 512) < 800)
        AddCandidate(&candidates, lastColumn(i + 8), 10, ctx->row, 0, 5);
    }
  }
  ClearMatched(&tracks);
  MergeCandidates(&tracks, candidates, ctx->step, kPdf417Tolerance);
  PruneTracks(&tracks, ctx->step);
  for (int32_t t = 0; t < tracks.count; ++t) {
    RowTrack& track = tracks.items[t];
    if (track.span < kPdf417MinRows || (track.done & kDoneLinear)) continue;
    // Segment fitting and pairing are the PDF417 reader's; keep the stripe.
    if (ctx->pdf417Starts.count < ctx->pdf417Starts.capacity)
      ctx->pdf417Starts.items[ctx->pdf417Starts.count++] = track;
    track.done |= kDoneLinear;
  }
  return 0;
}

int32_t BullseyeRowStage(ScanContext* ctx) {
  TrackList& tracks = ctx->bullseyeTracks;
  TrackList& candidates = ctx->bullseyeCandidates;
  candidates.count = 0;
  for (int32_t i = 0; i + 10 < ctx->runCount; i += 2) {
    if (PatternVariance(ctx->runs.get() + i, 11, kBullseye, 11, 512) < 700)
      AddCandidate(&candidates, ctx->runStarts[i + 5], static_cast<int32_t>(ctx->runs[i + 5]),
                   ctx->row, 0, 7);
  }
  ClearMatched(&tracks);
  const int noLimit = static_cast<int>(std::max(ctx->image.width, ctx->image.height)) + 1;
  MergeCandidates(&tracks, candidates, ctx->step, noLimit);
  PruneTracks(&tracks, ctx->step);
  for (int32_t t = 0; t < tracks.count; ++t) {
    RowTrack& track = tracks.items[t];
    if (track.span <= 0 || (track.done & kDoneLinear)) continue;
    const int32_t column = track.x + track.width / 2;
    if (!VerticalRings(ctx->image, column, ctx->row)) continue;
    if (!AppendFinder(&ctx->bullseyeFinders, column, ctx->row, track.width, 0)) {
      PushErrorTrail(kCategoryMemory, kModuleScan, 215);
      return 1;
    }
    track.done |= kDoneLinear;
  }
  return 0;
}

namespace {
test_hooks::StageObserver stageObserver = nullptr;

int32_t Observe(const char* stage, const ScanContext& ctx) {
  ObserveStage(stage, ctx);
  return 0;
}
}  // namespace

void ObserveStage(const char* stage, const ScanContext& ctx) {
  if (stageObserver != nullptr) stageObserver(stage, ctx);
}

void test_hooks::ObserveStages(StageObserver observer) { stageObserver = observer; }

// The readers of these groups come later; they start here with what the row
// stages collected.
int32_t Pdf417PostStage(ScanContext* ctx, SymbolResultList*) { return Observe("pdf417", *ctx); }
int32_t BullseyePostStage(ScanContext* ctx, SymbolResultList*) { return Observe("bullseye", *ctx); }
int32_t DataMatrixHandOff(ScanContext* ctx, const RowTrack&, SymbolResultList*) {
  return Observe("datamatrix", *ctx);
}

void RemoveDuplicateStarts(TrackList* list) {
  int32_t kept = 0;
  for (int32_t i = 0; i < list->count; ++i) {
    bool seen = false;
    for (int32_t j = 0; j < kept && !seen; ++j)
      seen = std::memcmp(&list->items[i], &list->items[j], 16) == 0;
    if (!seen) list->items[kept++] = list->items[i];
  }
  list->count = kept;
}

}  // namespace barcode
