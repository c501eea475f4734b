// Han Xin Code: finder confirmation, grouping of finders into symbols and
// the reader's data stage. Internal to the barcode library.
//
// Layout facts the stages rely on (N = 2 * version + 21 modules a side):
// each corner holds a 7 x 7 finder of nested L strokes with a 3 x 3 block.
// The top-left finder's block sits at its inner corner, the bottom-right's
// too; the top-right and bottom-left finders have the same shape, their
// block at their lower-left. A finder point is the centre of its block; its
// orientation is the direction of the symbol's top edge (left to right)
// plus a quarter turn per role: top-left 0, top-right and bottom-left pi/2,
// bottom-right pi.
#pragma once

#include <cstdint>

#include "barcode/bar_trace.h"
#include "barcode/scan_context.h"
#include "barcode/types.h"

namespace barcode {

constexpr double kHxPi = 3.1415926535897;

// floor(v) as an integer, without a library call; values beyond any image
// become a column outside it.
int64_t FloorToInt(double v);

// Pixel lookups at real coordinates: the pixel the floors name.
struct HxPixels : DarkPixels {
  using DarkPixels::DarkPixels;
  bool DarkAt(double x, double y) const { return Dark(FloorToInt(x), FloorToInt(y)); }
};

// Dark steps from (cx, cy) along (dx, dy), the start not counted, up to limit.
int DarkReach(const HxPixels& img, double cx, double cy, double dx, double dy, int limit);

enum class HxRole : int { kTopLeft = 0, kTopRight = 1, kBottomLeft = 2, kBottomRight = 3 };

// Block centre of a role's finder in module coordinates (x right, y down,
// module centres at +0.5) for a symbol of n modules a side.
void HxBlockCentre(HxRole role, int n, double* x, double* y);

// Orientation offset of a role (radians, multiple of pi/2).
double HxRoleTurn(HxRole role);

// Confirms the block of a Han Xin finder around (column, row) of the scan
// image, starting from a row run of the given width. True with the finder's
// centre, size (block side along its straight ray) and orientation.
bool ConfirmHanXinFinder(const BinaryImage& image, int32_t x, int32_t width, int32_t row,
                         FinderPoint* finder);

// A candidate symbol as the post stage frames it: the three finder points
// it was built from (image pixels), their roles, and the framing.
struct HxCandidate {
  double x[3], y[3];
  HxRole role[3];
  int points;  // finders found: 3, or 2 with the third corner placed
  double moduleSize;  // pixels
  int version;        // estimated from the finder distances
  double centreX, centreY, angleDegrees, side;
  // Module (u, v) lies at origin + u * stepU + v * stepV in the image.
  double originX, originY, stepUx, stepUy, stepVx, stepVy;
};

// Frames the candidate again for another version (the one its function
// information gives) from the same finder points. False for a version out
// of range or points that give no frame.
bool ReframeHanXin(HxCandidate* candidate, int version);

// Whether module (row, col) of the candidate is dark; a module centre
// outside the image is light.
bool HanXinModuleDark(const BinaryImage& image, const HxCandidate& candidate, int row, int col);

// Samples the candidate's n x n module grid (n = 2 * version + 21) into
// grid, 1 for a dark module; a module centre outside the image is light.
void SampleHanXinGrid(const BinaryImage& image, const HxCandidate& candidate, uint8_t* grid);

namespace test_hooks {
// Called with every framed candidate before it is read; null for none.
using HanXinCandidateObserver = void (*)(const HxCandidate& candidate);
void ObserveHanXinCandidates(HanXinCandidateObserver observer);
}  // namespace test_hooks

// Data stage: turns corrected data codewords into GB 18030 text in out
// (NUL-terminated, at most capacity bytes with the NUL). Returns 0 with the
// text, -3 with an empty text on mode data the standard does not allow (an
// unknown indicator, a value out of range, a segment cut off by the end of
// the data, a text longer than capacity).
int32_t DecodeHanXinData(const uint8_t* codewords, int32_t count, char* out, int32_t capacity,
                         int32_t* length);

// Function information: seven 4-bit symbols (three of data, four of Reed-
// Solomon check over GF(16)) in each of two copies; the first copy that
// corrects gives version (first two symbols, less 20), level and mask (the
// third symbol). 0, or -6 when neither copy corrects or the version is not
// 1 to 84 (85 and more also set the last error).
int32_t DecodeHanXinFunctionInfo(const uint8_t first[7], const uint8_t second[7], int* version,
                                 int* level, int* mask);

// Sets every function module of a version's grid (finders, information,
// alignment lines) to 3.
void MarkHanXinFunctionModules(int version, uint8_t* grid);

// Reads a sampled grid (1 dark) of the given version; the grid is used as
// work space. 0 with out->text (thread's ANSI code page) and out->name set;
// -6 when the function information does not correct or gives another version
// (*infoVersion then holds it), -5 a block beyond correction, -3 invalid mode
// data, 1 out of memory. ReaderLastError says why.
int32_t DecodeHanXinGrid(uint8_t* grid, int version, ReaderOutput* out, int* infoVersion);

// Samples and reads a framed candidate; when its function information gives
// another version the candidate is framed and sampled again for that one.
// Codes as DecodeHanXinGrid; out->moduleSize set when read.
int32_t ReadHanXin(const BinaryImage& image, HxCandidate* candidate, ReaderOutput* out);

}  // namespace barcode
