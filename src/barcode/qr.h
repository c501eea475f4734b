// QR Code: finder confirmation during the row pass, the pairing of finders
// into symbols after it, and the reader of a framed symbol.
#pragma once

#include <cstdint>

#include "barcode/alloc.h"
#include "barcode/scan_context.h"
#include "barcode/types.h"

namespace barcode {

// Checks a 1:1:3:1:1 row track down its centre column and measures the
// finder's dark centre by tracing it; true with the point filled when the
// track is a finder.
bool ConfirmQrFinder(const BinaryImage& image, const RowTrack& track, int32_t row,
                     FinderPoint* point);

// Three finder centres as the corners of a square symbol (also Han Xin's).
struct FinderTriple {
  int corner;          // index (0, 1, 2) of the finder between the two legs
  int ends[2];         // the other two, the first leg's end first
  double leg;          // length of the first leg
  double centreX, centreY;  // the symbol's centre: midpoint of the two ends
  double angle;        // direction of the first leg from the corner, 0 <= angle < 360
};
// The triple test: two sides of about equal length and a third about sqrt(2)
// times as long. False when the points are not such a triangle.
bool TestFinderTriple(const FinderPoint& a, const FinderPoint& b, const FinderPoint& c,
                      FinderTriple* triple);

// A 3-channel copy (white light, black dark) of the square of side side
// centred on (centreX, centreY), clipped to stay one pixel inside the image.
// The crop's top-left pixel is (*originX, *originY) of the image. False when
// nothing is left or memory runs out (*outOfMemory then set).
bool CropImage(const BinaryImage& image, double centreX, double centreY, int64_t side,
               Buffer<uint8_t>* pixels, BinaryImage* crop, int32_t* originX, int32_t* originY,
               bool* outOfMemory);

// Reads the QR Code whose finder centres (crop coordinates; any order) are
// given, finderSize being a finder's outer width in pixels. 0 with out->text
// filled when read; 0 or a negative code with an empty text when not (-6
// geometry or format, -5 a block beyond correction, -3 an unsupported mode);
// 1 when memory ran out (ReaderLastError says where).
int32_t ReadQr(const BinaryImage& crop, const double finders[3][2], double finderSize,
               ReaderOutput* out);

}  // namespace barcode
