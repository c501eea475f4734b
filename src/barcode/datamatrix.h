// Data Matrix ECC 200: the L-finder search that runs on ended row tracks, the
// reader that samples and corrects a symbol, and the codeword decoder.
#pragma once

#include <cstdint>

#include "barcode/scan_context.h"
#include "barcode/types.h"

namespace barcode {

// ECC 200 symbol sizes: whole symbol, one data region, regions across and
// down, codewords and interleaved blocks.
struct DataMatrixSize {
  int32_t rows, columns;
  int32_t regionRows, regionColumns;
  int32_t regionsDown, regionsAcross;
  int32_t dataCodewords, ecCodewords;
  int32_t blocks;
};
constexpr int kDataMatrixSizeCount = 30;
const DataMatrixSize* DataMatrixSizes();
// The table entry for rows x columns, or null.
const DataMatrixSize* FindDataMatrixSize(int32_t rows, int32_t columns);

// The placement of the codeword bits in the mapping matrix (the symbol
// without finder, timing and alignment modules): for each module, 8 ×
// codeword + bit (bit 0 the most significant), or -1 for the fixed corner
// modules. Returns the number of codewords placed.
int32_t PlaceCodewords(int32_t rows, int32_t columns, int32_t* map);

// The symbol's mapping-matrix bits (1 dark) from its full module grid
// (rows x columns of the size, row 0 at the top, 1 dark).
void MappingMatrix(const DataMatrixSize& size, const uint8_t* grid, uint8_t* mapping);

// Codewords of a symbol from its full module grid; false when memory runs out.
bool ExtractCodewords(const DataMatrixSize& size, const uint8_t* grid, uint8_t* codewords);

// De-interleaves, corrects every block and puts the data codewords back in
// order at the front. False when a block cannot be corrected.
bool CorrectDataMatrixBlocks(const DataMatrixSize& size, uint8_t* codewords);

// Data codewords to text (NUL-terminated, cut to textSize - 1 bytes); 0, or
// -6 for an invalid codeword.
int32_t DecodeDataMatrixData(const uint8_t* codewords, int32_t count, char* text,
                             int32_t textSize);

struct PointD {
  double x, y;
};

// Reads the symbol whose L-finder has corner b and arm ends a and c in
// region (dark where the first channel is below 129). 0 with *found set when
// read; 0 or -6 when not; 1 when memory runs out. When read and corners is
// not null, it receives the symbol's own L as fitted: the end of the first
// column, the corner and the end of the bottom row, in region pixels.
int32_t ReadDataMatrix(const BinaryImage& region, PointD a, PointD b, PointD c,
                       ReaderOutput* output, bool* found, PointD* corners = nullptr);

// The L-finder search on a scan image (1 dark).
struct PointI {
  int32_t x, y;
};
enum ProbeMode { kProbeFollow, kProbeTopLeftmost, kProbeBottomLeftmost };
PointI ProbeRows(const BinaryImage& image, PointI point, int32_t direction, ProbeMode mode);
struct EdgeHit {
  bool found;
  PointI edge;
  int32_t offset;
};
EdgeHit EdgeProbe(const BinaryImage& image, PointI point, double alpha, int side);
int32_t ArmScore(const BinaryImage& image, PointI p0, PointI p1, int side, PointI* end);
struct LCorner {
  PointI a, b, c;
};
bool TryLCorner(const BinaryImage& image, PointI p0, PointI p1, LCorner* corner);

// An ended track's ends, after the row probes.
struct TrackEnds {
  PointI top, bottom;
  PointI left;         // leftmost column seen, at its first row
  int32_t leftLastRow;
  int32_t span;
  int32_t bottomRun;  // dark pixels from the bottom point rightwards
};
TrackEnds RefineTrack(const BinaryImage& image, const RowTrack& track);
// The first of the three corner assignments that gives an L, inside the image.
bool FindLCorner(const BinaryImage& image, const TrackEnds& ends, LCorner* corner);

}  // namespace barcode
