// The per-call state of ScanSymbols, shared by the engine and the group
// stages. Lists are sized once per call from the image width.
#pragma once

#include <cstdint>

#include "barcode/alloc.h"
#include "barcode/types.h"

namespace barcode {

struct TrackList {
  Buffer<RowTrack> items;
  int32_t count = 0;
  int32_t capacity = 0;
};

struct FinderList {
  Buffer<FinderPoint> items;
  int32_t count = 0;
};

struct Pdf417SegmentList {
  Buffer<Pdf417Segment> items;
  int32_t count = 0;
};

struct ScanContext {
  BinaryImage image{};
  ScanOptions options{};
  ScanOptions working{};
  int step = 1;
  int row = 0;  // the row being scanned
  // Runs of the current row (dark first) and the column each starts at.
  Buffer<uint32_t> runs;
  Buffer<int32_t> runStarts;
  int32_t runCount = 0;
  Buffer<uint64_t> rowBits;  // the current row's light pixels, one bit each

  TrackList linearTracks, linearCandidates;
  TrackList dataMatrixTracks, dataMatrixCandidates;
  TrackList hanXinTracks, hanXinCandidates;
  TrackList pdf417Tracks, pdf417Candidates;
  TrackList bullseyeTracks, bullseyeCandidates;
  FinderList qrFinders, hanXinFinders, bullseyeFinders;
  // Start and stop stripes handed to the PDF417 post stage.
  Pdf417SegmentList pdf417Segments;

  // One per linear symbol examined and not yet passed; grows as needed.
  Buffer<FoundArea> foundAreas;
  int32_t foundAreaCount = 0;
  int32_t foundAreaCapacity = 0;

  ScanContext() = default;
  ScanContext(const ScanContext&) = delete;
  ScanContext& operator=(const ScanContext&) = delete;
  ~ScanContext();
};

// Track maintenance shared by the groups.
void ClearMatched(TrackList* tracks);
void MergeCandidates(TrackList* tracks, const TrackList& candidates, int step, int tolerance);
void PruneTracks(TrackList* tracks, int step);
void RetireTracks(ScanContext* ctx, TrackList* tracks);
bool InsideFoundArea(const ScanContext& ctx, const RowTrack& track);
// Appends an area, the list taking its rows; false when the list cannot grow
// (the rows are freed then).
bool AddFoundArea(ScanContext* ctx, const FoundArea& area);
bool AddCandidate(TrackList* list, int32_t x, int32_t width, int32_t row, int32_t hit,
                  int32_t kind);

// Hands the linear tracks of the current row to the readers.
int32_t LinearStage(ScanContext* ctx, TrackList* tracks, SymbolResultList* results);

}  // namespace barcode
