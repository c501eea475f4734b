#include "barcode/group_stages.h"

#include <algorithm>
#include <cstring>

#include "barcode/error_trail.h"
#include "barcode/scan.h"

namespace barcode {

namespace {

constexpr int kHanXinTolerance = 8;
const int32_t kHanXinLast[5] = {1, 1, 1, 1, 3};
const int32_t kHanXinFirst[5] = {3, 1, 1, 1, 1};

bool AppendFinder(FinderList* list, double x, double y, double size, double orientation) {
  if (list->count >= kMaxFinderPoints - 1) return false;
  list->items[list->count++] = FinderPoint{x, y, size, orientation};
  return true;
}

}  // namespace

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
  for (int32_t t = 0; t < tracks.count; ++t) {
    RowTrack& track = tracks.items[t];
    if (track.span <= 3 || (track.done & kDoneHanXinFinder)) continue;
    // Confirmation along rays and the orientation belong to the reader.
    if (!AppendFinder(&ctx->hanXinFinders, track.x + track.width / 2.0, ctx->row - track.span / 2.0,
                      track.width, track.kind)) {
      PushErrorTrail(kCategoryMemory, kModuleScan, 125);
      return 1;
    }
    track.done |= kDoneHanXinFinder;
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
int32_t HanXinPostStage(ScanContext* ctx, SymbolResultList*) { return Observe("hanxin", *ctx); }

}  // namespace barcode
