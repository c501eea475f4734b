// ScanSymbols: the row pass over a binary image. Each row becomes run
// lengths; every enabled group turns the runs into candidates, follows them
// from row to row as tracks and hands finished tracks to its reader.
#include <algorithm>
#include <cstring>

#include "barcode/error_trail.h"
#include "barcode/group_stages.h"
#include "barcode/qr.h"
#include "barcode/row_bits.h"
#include "barcode/scan.h"
#include "barcode/scan_context.h"

namespace barcode {

namespace {

constexpr int kLinearKind = 8;
constexpr int kLinearTolerance = 5;
const int32_t kQrFinderPattern[5] = {1, 1, 3, 1, 1};
constexpr int32_t kQrFinderMinHits = 4;

// Track and finder lists are only ever read below their count, and every
// entry is written whole when it is added, so they are not cleared: on a heap
// that hands back freed pages, clearing would fault in every page of a list
// that holds a few entries.
bool AllocTracks(TrackList* list, int32_t capacity) {
  list->items = AllocUninitializedArray<RowTrack>(static_cast<size_t>(capacity));
  list->capacity = capacity;
  list->count = 0;
  return list->items != nullptr;
}

bool AllocFinders(FinderList* list) {
  list->items = AllocUninitializedArray<FinderPoint>(kMaxFinderPoints);
  list->count = 0;
  return list->items != nullptr;
}

// Run lengths of one row (of at least one pixel: ScanSymbols returns early
// for an empty image), dark (non-zero) first, 0 when the row starts light.
void RowToRuns(ScanContext* ctx, const uint8_t* row) {
  const int64_t width = ctx->image.width;
  uint32_t* runs = ctx->runs.get();
  int32_t* starts = ctx->runStarts.get();
  int32_t count = 0;
  uint64_t* light = ctx->rowBits.get();
  EqualBits(row, width, 0, light);
  // A light first pixel: the dark run before it is empty.
  if (light[0] & 1) {
    starts[count] = 0;
    runs[count++] = 0;
  }
  // A run ends wherever a pixel differs from the one before it.
  int64_t start = 0;
  uint64_t before = light[0] & 1;
  const int64_t lastWord = (width - 1) >> 6;
  for (int64_t w = 0; w <= lastWord; ++w) {
    const uint64_t m = light[w];
    uint64_t ends = m ^ ((m << 1) | before);
    before = m >> 63;
    if (w == lastWord && (width & 63) != 0) ends &= (uint64_t{1} << (width & 63)) - 1;
    for (; ends != 0; ends &= ends - 1) {
      const int64_t x = w * 64 + __builtin_ctzll(ends);
      starts[count] = static_cast<int32_t>(start);
      runs[count++] = static_cast<uint32_t>(x - start);
      start = x;
    }
  }
  starts[count] = static_cast<int32_t>(start);
  runs[count++] = static_cast<uint32_t>(width - start);
  ctx->runCount = count;
}

void FreeFoundArea(FoundArea* area) {
  std::free(area->rows);
  area->rows = nullptr;
}

// Linear/QR row stage: thick bars with thinner neighbours for the linear
// readers, 1:1:3:1:1 windows for the QR finder list.
int32_t LinearQrRowStage(ScanContext* ctx, SymbolResultList* results) {
  const bool linearOn = ctx->working.linear == 1;
  const bool qrOn = ctx->working.qrCode == 1;
  TrackList& tracks = ctx->linearTracks;
  TrackList& candidates = ctx->linearCandidates;
  candidates.count = 0;
  const uint32_t* runs = ctx->runs.get();
  for (int32_t i = 0; i + 4 < ctx->runCount; i += 2) {
    const uint32_t* w = runs + i;
    uint32_t m = *std::min_element(w, w + 5);
    uint32_t mx = *std::max_element(w, w + 5);
    bool bar = linearOn && m > 0 && w[2] != m && mx <= 4 * m && w[2] >= 2 * m;
    bool hit = qrOn && PatternVariance(w, 5, kQrFinderPattern, 7, 512) < 500;
    if (!bar && !hit) continue;
    AddCandidate(&candidates, ctx->runStarts[i + 2], static_cast<int32_t>(w[2]), ctx->row,
                 hit ? 1 : 0, kLinearKind);
  }
  ClearMatched(&tracks);
  MergeCandidates(&tracks, candidates, ctx->step, kLinearTolerance);
  PruneTracks(&tracks, ctx->step);
  RetireTracks(ctx, &tracks);
  if (qrOn) {
    for (int32_t t = 0; t < tracks.count; ++t) {
      RowTrack& track = tracks.items[t];
      // A track can run on from a finder through data hits into another
      // finder below it in the same columns (the left finders of a small
      // symbol), so once well past the finder it gave it is looked at again.
      const bool gaveFinder = (track.done & kDoneQrFinder) != 0;
      if (gaveFinder ? ctx->row - track.leftLastRow <= 3 * track.width : track.span <= 3)
        continue;
      // A track that bridged a few rows from other dark runs into a finder
      // keeps too few hits for its span; four hit rows still earn a look.
      if (ctx->step * track.patternHits * 10 < 7 * track.span &&
          track.patternHits < kQrFinderMinHits)
        continue;
      FinderPoint point;
      if (!ConfirmQrFinder(ctx->image, track, ctx->row, &point)) {
        if (!gaveFinder) track.done |= kDoneQrFinder;
        continue;
      }
      track.done |= kDoneQrFinder;
      track.leftLastRow = ctx->row;  // unused otherwise by this group's tracks
      if (ctx->qrFinders.count >= kMaxFinderPoints - 1) {
        PushErrorTrail(kCategoryMemory, kModuleScan, 123);
        return 1;
      }
      ctx->qrFinders.items[ctx->qrFinders.count++] = point;
    }
  }
  if (linearOn) return LinearStage(ctx, &tracks, results);
  return 0;
}

void DropFoundAreas(ScanContext* ctx) {
  int32_t kept = 0;
  for (int32_t i = 0; i < ctx->foundAreaCount; ++i) {
    if (ctx->foundAreas[i].lastRow <= ctx->row) {
      FreeFoundArea(&ctx->foundAreas[i]);
    } else {
      ctx->foundAreas[kept++] = ctx->foundAreas[i];
    }
  }
  ctx->foundAreaCount = kept;
}

}  // namespace

ScanContext::~ScanContext() {
  for (int32_t i = 0; i < foundAreaCount; ++i) FreeFoundArea(&foundAreas[i]);
}

bool AddCandidate(TrackList* list, int32_t x, int32_t width, int32_t row, int32_t hit,
                  int32_t kind) {
  if (list->count >= list->capacity) return false;
  RowTrack& c = list->items[list->count++];
  c = RowTrack{};
  c.x = x;
  c.width = width;
  c.firstRow = row;
  c.anchorX = x + width / 2;
  c.span = 1;
  c.patternHits = hit;
  c.kind = kind;
  return true;
}

void ClearMatched(TrackList* tracks) {
  for (int32_t i = 0; i < tracks->count; ++i) tracks->items[i].matched = 0;
}

void MergeCandidates(TrackList* tracks, const TrackList& candidates, int step, int tolerance) {
  for (int32_t c = 0; c < candidates.count; ++c) {
    const RowTrack& cand = candidates.items[c];
    bool taken = false;
    for (int32_t t = 0; t < tracks->count; ++t) {
      RowTrack& track = tracks->items[t];
      if (track.matched) continue;
      int64_t shift = static_cast<int64_t>(step * track.slope);
      int64_t cFrom = static_cast<int64_t>(cand.x) - shift;
      int64_t cTo = cFrom + cand.width - 1;
      int64_t tFrom = track.x, tTo = static_cast<int64_t>(track.x) + track.width - 1;
      if (cTo < tFrom || cFrom > tTo) continue;
      if (std::abs(track.width - cand.width) >= tolerance) continue;
      track.slope = static_cast<double>(cand.x - track.x) / step;
      track.x = cand.x;
      track.width = cand.width;
      track.span += (track.misses + 1) * step;
      track.misses = 0;
      track.patternHits += cand.patternHits;
      track.kind = cand.kind;
      track.matched = 1;
      taken = true;
      break;
    }
    if (taken || tracks->count >= tracks->capacity) continue;
    RowTrack& fresh = tracks->items[tracks->count++];
    fresh = cand;
    fresh.matched = 1;
    fresh.misses = 0;
    fresh.slope = 0;
    fresh.span = 1;
    fresh.anchorX = cand.x + cand.width / 2;
  }
}

void PruneTracks(TrackList* tracks, int step) {
  const int maxMisses = 15 / step;
  int32_t kept = 0;
  for (int32_t i = 0; i < tracks->count; ++i) {
    RowTrack track = tracks->items[i];
    if (!track.matched) {
      if (track.span < 6 || track.misses >= maxMisses) continue;
      if (track.misses == 0)
        track.slope = static_cast<double>((track.x + track.width / 2 - track.anchorX) / track.span);
      track.x += static_cast<int32_t>(track.slope);
      ++track.misses;
    }
    tracks->items[kept++] = track;
  }
  tracks->count = kept;
}

bool AddFoundArea(ScanContext* ctx, const FoundArea& area) {
  if (ctx->foundAreaCount == ctx->foundAreaCapacity) {
    const int64_t capacity = ctx->foundAreaCapacity == 0 ? 64 : 2 * int64_t{ctx->foundAreaCapacity};
    Buffer<FoundArea> grown;
    if (capacity <= INT32_MAX) grown = AllocUninitializedArray<FoundArea>(static_cast<size_t>(capacity));
    if (!grown) {
      std::free(area.rows);
      return false;
    }
    std::copy(ctx->foundAreas.get(), ctx->foundAreas.get() + ctx->foundAreaCount, grown.get());
    ctx->foundAreas = std::move(grown);
    ctx->foundAreaCapacity = static_cast<int32_t>(capacity);
  }
  ctx->foundAreas[ctx->foundAreaCount++] = area;
  return true;
}

bool InsideFoundArea(const ScanContext& ctx, const RowTrack& track) {
  const int32_t centre = track.x + track.width / 2;
  for (int32_t i = 0; i < ctx.foundAreaCount; ++i) {
    const FoundArea& a = ctx.foundAreas[i];
    if (!(a.firstColumn < centre && centre < a.firstColumn + a.columns - 1)) continue;
    if (a.rows[centre - a.firstColumn] - 60 < track.firstRow + track.span) return true;
  }
  return false;
}

void RetireTracks(ScanContext* ctx, TrackList* tracks) {
  if (ctx->foundAreaCount == 0) return;
  for (int32_t i = 0; i < tracks->count; ++i) {
    RowTrack& track = tracks->items[i];
    if (!(track.done & kDoneLinear) && InsideFoundArea(*ctx, track)) track.done |= kDoneLinear;
  }
}

int32_t ScanSymbols(BinaryImage* image, int step, SymbolResultList* results,
                    const ScanOptions* options) {
  if (image == nullptr || results == nullptr || options == nullptr || results->items == nullptr) {
    PushErrorTrail(kCategoryBadArgument, kModuleScan, 101);
    return 5;
  }
  if (image->width == 0 || image->height == 0) return 0;
  if (image->pixels == nullptr || image->channels != 1 || image->stride < image->width ||
      step < 1) {
    PushErrorTrail(kCategoryBadArgument, kModuleScan, 103);
    return 5;
  }
  ScanContext ctx;
  ctx.image = *image;
  ctx.options = *options;
  ctx.step = step;
  const int32_t capacity = static_cast<int32_t>(std::min<uint32_t>(image->width, 1u << 24));
  struct GroupList {
    bool on;
    TrackList* tracks;
    TrackList* candidates;
    FinderList* finders;
    int site;
  };
  const GroupList groups[] = {
      {options->linear == 1 || options->qrCode == 1, &ctx.linearTracks, &ctx.linearCandidates,
       nullptr, 87},
      {options->qrCode == 1, nullptr, nullptr, &ctx.qrFinders, 89},
      {options->dataMatrix == 1, &ctx.dataMatrixTracks, &ctx.dataMatrixCandidates, nullptr, 91},
      {options->hanXin == 1, &ctx.hanXinTracks, &ctx.hanXinCandidates, &ctx.hanXinFinders, 93},
      {options->pdf417 == 1, &ctx.pdf417Tracks, &ctx.pdf417Candidates, nullptr, 95},
      {options->bullseye == 1, &ctx.bullseyeTracks, &ctx.bullseyeCandidates, &ctx.bullseyeFinders,
       97},
  };
  for (const GroupList& g : groups) {
    if (!g.on) continue;
    bool ok = true;
    if (g.tracks) ok = AllocTracks(g.tracks, capacity) && AllocTracks(g.candidates, capacity);
    if (ok && g.finders) ok = AllocFinders(g.finders);
    if (ok && g.site == 95) {
      ctx.pdf417Segments.items = AllocUninitializedArray<Pdf417Segment>(kMaxPdf417Segments);
      ok = ctx.pdf417Segments.items != nullptr;
    }
    if (!ok) {
      PushErrorTrail(kCategoryMemory, kModuleScan, g.site);
      PushErrorTrail(kCategoryStageFailed, kModuleScan, 105);
      return 1;
    }
  }
  ctx.runs = AllocArray<uint32_t>(static_cast<size_t>(image->width) + 1);
  ctx.runStarts = AllocArray<int32_t>(static_cast<size_t>(image->width) + 1);
  ctx.rowBits = AllocArray<uint64_t>(RowMaskWords(image->width));
  if (!ctx.runs || !ctx.runStarts || !ctx.rowBits) {
    PushErrorTrail(kCategoryMemory, kModuleScan, 107);
    return 1;
  }

  for (uint32_t y = 0; y < image->height; y += static_cast<uint32_t>(step)) {
    ctx.row = static_cast<int>(y);
    RowToRuns(&ctx, image->pixels + static_cast<size_t>(y) * image->stride);
    ctx.working = ctx.options;
    int32_t code = 0;
    int site = 0;
    if (ctx.working.linear == 1 || ctx.working.qrCode == 1) {
      code = LinearQrRowStage(&ctx, results);
      site = 77;
    }
    if (code == 0 && ctx.working.dataMatrix == 1) {
      code = DataMatrixRowStage(&ctx, results);
      site = 79;
    }
    if (code == 0 && ctx.working.hanXin == 1) {
      code = HanXinRowStage(&ctx);
      site = 81;
    }
    if (code == 0 && ctx.working.pdf417 == 1) {
      code = Pdf417RowStage(&ctx);
      site = 83;
    }
    if (code == 0 && ctx.working.bullseye == 1) {
      code = BullseyeRowStage(&ctx);
      site = 85;
    }
    if (code != 0) {
      PushErrorTrail(kCategoryStageFailed, kModuleScan, site);
      PushErrorTrail(kCategoryStageFailed, kModuleScan, 109);
      return code;
    }
    DropFoundAreas(&ctx);
    if (y > UINT32_MAX - static_cast<uint32_t>(step)) break;
  }

  struct Post {
    bool on;
    int32_t (*stage)(ScanContext*, SymbolResultList*);
    int site;
  };
  const Post posts[] = {
      {ctx.options.qrCode == 1 && ctx.qrFinders.count > 0, QrPostStage, 111},
      {ctx.options.hanXin == 1, HanXinPostStage, 113},
      {ctx.options.pdf417 == 1 && ctx.pdf417Segments.count > 0, Pdf417PostStage, 117},
      {ctx.options.bullseye == 1, BullseyePostStage, 119},
  };
  for (const Post& p : posts) {
    if (!p.on) continue;
    if (p.site == 117) RemoveDuplicateSegments(&ctx.pdf417Segments);
    int32_t code = p.stage(&ctx, results);
    if (code != 0) {
      PushErrorTrail(kCategoryStageFailed, kModuleScan, p.site);
      return code;
    }
  }
  return 0;
}

}  // namespace barcode
