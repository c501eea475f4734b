// Row and post stages of the two-dimensional groups. The row stages collect
// candidates and finder points; the post stages are where the readers of
// those groups plug in.
#pragma once

#include <cstdint>

#include "barcode/scan_context.h"

namespace barcode {

int32_t DataMatrixRowStage(ScanContext* ctx, SymbolResultList* results);
int32_t HanXinRowStage(ScanContext* ctx);
int32_t Pdf417RowStage(ScanContext* ctx);
int32_t BullseyeRowStage(ScanContext* ctx);

int32_t QrPostStage(ScanContext* ctx, SymbolResultList* results);
int32_t HanXinPostStage(ScanContext* ctx, SymbolResultList* results);
int32_t Pdf417PostStage(ScanContext* ctx, SymbolResultList* results);
int32_t BullseyePostStage(ScanContext* ctx, SymbolResultList* results);

// Hand-over of one ended Data Matrix track (the L-finder search).
int32_t DataMatrixHandOff(ScanContext* ctx, const RowTrack& track, SymbolResultList* results);

namespace test_hooks {
// Called with the call's state at each post stage and each Data Matrix
// hand-over, before the reader would run; null (the default) for none.
using StageObserver = void (*)(const char* stage, const ScanContext& ctx);
void ObserveStages(StageObserver observer);
}  // namespace test_hooks
// Tells the observer, if any, that a stage starts.
void ObserveStage(const char* stage, const ScanContext& ctx);

// Keeps the first of candidates whose first four 32-bit words are equal.
void RemoveDuplicateStarts(TrackList* list);

}  // namespace barcode
