// Records shared by every stage of the barcode reading library. Layouts are
// fixed (sizes and offsets asserted) because results are copied whole.
#pragma once

#include <cstddef>
#include <cstdint>

namespace barcode {

constexpr int kMaxResults = 100;
constexpr int kResultTextSize = 10000;
constexpr int kReaderTextSize = 8000;
constexpr int kReaderNameSize = 1024;
constexpr int kMaxFinderPoints = 1000;
constexpr int kTypeFlagCount = 100;

// One byte per pixel for the scan image (0 light, 1 dark); strips use 3.
struct BinaryImage {
  uint32_t width;
  uint32_t stride;
  uint32_t height;
  uint32_t channels;
  uint32_t bits;
  uint8_t* pixels;
};

enum SymbolType : uint32_t {
  kCode39 = 0,
  kItf = 1,
  kCode128 = 2,
  kGs1_128 = 3,
  kCodabar = 4,
  kUpcA = 5,
  kUpcE = 6,
  kEan8 = 7,
  kEan13 = 8,
  kQrCode = 9,
  kDataMatrix = 10,
  kPdf417 = 11,
  kPdf417Flagged = 12,
  kCode93 = 13,
  kHxCode = 14,
  kMaxiCodeLocated = 15,
  kUnsupported = 16,
  kUnknown = 17,
};

// Group switches, then one enable byte per SymbolType.
struct ScanOptions {
  uint8_t linear;
  uint8_t qrCode;
  uint8_t dataMatrix;
  uint8_t hanXin;
  uint8_t pdf417;
  uint8_t bullseye;
  uint8_t types[kTypeFlagCount];
};
static_assert(sizeof(ScanOptions) == 106, "ScanOptions layout");

struct SymbolResult {
  int32_t centreX;
  int32_t centreY;
  int32_t width;
  int32_t height;
  double angle;
  uint32_t type;
  char text[kResultTextSize];
  char secondText[kResultTextSize];
  uint8_t codabarStart;
  uint8_t codabarStop;
  double moduleSize;
  uint32_t readerPosition;
  // Written by crop print's label fitting: grey edges seen, drawn again smaller.
  uint32_t antiAliased;
  uint32_t reRendered;
};
static_assert(sizeof(SymbolResult) == 20056, "SymbolResult layout");
static_assert(offsetof(SymbolResult, angle) == 16, "SymbolResult layout");
static_assert(offsetof(SymbolResult, type) == 24, "SymbolResult layout");
static_assert(offsetof(SymbolResult, text) == 28, "SymbolResult layout");
static_assert(offsetof(SymbolResult, secondText) == 10028, "SymbolResult layout");
static_assert(offsetof(SymbolResult, codabarStart) == 20028, "SymbolResult layout");
static_assert(offsetof(SymbolResult, moduleSize) == 20032, "SymbolResult layout");
static_assert(offsetof(SymbolResult, readerPosition) == 20040, "SymbolResult layout");
static_assert(offsetof(SymbolResult, reRendered) == 20048, "SymbolResult layout");

// The caller owns the array (room for kMaxResults records).
struct SymbolResultList {
  int32_t count;
  SymbolResult* items;
};

enum ReaderOrientation : uint32_t { kLeftToRight = 0, kReversed = 1, kOrientationUnset = 2 };

struct ReaderOutput {
  char name[kReaderNameSize];
  char text[kReaderTextSize];
  char secondText[kReaderTextSize];
  uint32_t orientation;
  uint8_t reserved[4];
  uint8_t codabarStart;
  uint8_t codabarStop;
  double moduleSize;
  uint32_t readerPosition;
};
static_assert(sizeof(ReaderOutput) == 17056, "ReaderOutput layout");
static_assert(offsetof(ReaderOutput, secondText) == 9024, "ReaderOutput layout");
static_assert(offsetof(ReaderOutput, orientation) == 17024, "ReaderOutput layout");
static_assert(offsetof(ReaderOutput, codabarStart) == 17032, "ReaderOutput layout");
static_assert(offsetof(ReaderOutput, moduleSize) == 17040, "ReaderOutput layout");
static_assert(offsetof(ReaderOutput, readerPosition) == 17048, "ReaderOutput layout");

// A run followed from row to row; a row candidate uses the same layout.
// Data Matrix tracks follow run starts: their anchor is the start column in
// the first row, and they keep the leftmost start column seen (with the first
// and last row it was seen in) where the other groups count pattern hits and
// keep their kind.
struct RowTrack {
  int32_t anchorX;
  int32_t firstRow;
  int32_t x;
  int32_t width;
  int32_t span;
  uint8_t matched;
  uint8_t done;
  uint8_t pending;  // Data Matrix: created in the row just scanned
  uint8_t ready;    // Data Matrix: seen in an earlier row, may be handed on
  union {
    int32_t patternHits;
    int32_t leftX;
  };
  uint8_t misses;
  double slope;
  union {
    int32_t kind;
    int32_t leftFirstRow;
  };
  int32_t leftLastRow;
};
static_assert(sizeof(RowTrack) == 48, "RowTrack layout");
using RowCandidate = RowTrack;

enum TrackDone : uint8_t {
  kDoneLinear = 1,
  kDoneQrFinder = 2,
  kDoneDataMatrix = 4,
  kDoneHanXinFinder = 8,
};

struct FinderPoint {
  double x;
  double y;
  double size;
  double orientation;
};
static_assert(sizeof(FinderPoint) == 32, "FinderPoint layout");

// A straight PDF417 start or stop stripe, first to second end point.
struct Pdf417Segment {
  float x1, y1, x2, y2;
  double angle;  // radians, of the line from the first to the second point
  int32_t kind;
  int32_t used;
};
static_assert(sizeof(Pdf417Segment) == 32, "Pdf417Segment layout");

constexpr int kMaxPdf417Segments = 1000;

// Where the scan line of a linear symbol crossed it: one row per column.
struct FoundArea {
  int32_t* rows;
  int32_t lastRow;
  int32_t columns;
  int32_t firstColumn;
};
static_assert(sizeof(FoundArea) == 24, "FoundArea layout");

struct ErrorTrail {
  uint32_t count;
  int32_t slots[5];
};

}  // namespace barcode
