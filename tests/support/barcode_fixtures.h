// Test-only barcode fixtures: symbols encoded by zint, drawn onto grey pages
// by our own code at exact module sizes and angles, with seeded clutter and
// degradation; and zxing-cpp as an independent reader.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fixtures {

struct Page {
  int width = 0, height = 0;
  std::vector<uint8_t> grey;  // 255 white
  Page(int w, int h) : width(w), height(h), grey(static_cast<size_t>(w) * h, 255) {}
  uint8_t& at(int x, int y) { return grey[static_cast<size_t>(y) * width + x]; }
};

// Small deterministic generator, so a failing case replays from its seed.
struct Rng {
  uint64_t state;
  explicit Rng(uint64_t seed) : state(seed * 6364136223846793005ull + 1442695040888963407ull) {}
  uint32_t Next() {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<uint32_t>(state >> 33);
  }
  int Uniform(int lo, int hi) { return lo + static_cast<int>(Next() % (hi - lo + 1)); }
};

// Modules of a one-row zint symbol (1 = bar); empty when zint refuses.
std::vector<uint8_t> EncodeLinear(int zintSymbology, const std::string& data, bool gs1 = false);

struct Placement {
  double centreX, centreY;
  int moduleWidth;
  int barHeight;
  double angleDegrees;  // clockwise on the page
};
// Draws modules (quiet zone of quietModules light modules each side).
void DrawLinear(Page* page, const std::vector<uint8_t>& modules, const Placement& at,
                int quietModules = 10);
// Fake text lines and ruled boxes away from the given keep-out boxes.
void DrawClutter(Page* page, Rng* rng, int textLines, int boxes);
void AddNoise(Page* page, Rng* rng, int amplitude);
void BoxBlur(Page* page);
Page Rotate90(const Page& page);  // clockwise

struct ZxingRead {
  std::string format;  // our names: CODE_128, EAN_13, ...
  std::string text;
};
std::vector<ZxingRead> ReadWithZxing(const Page& page);

// A two-dimensional zint symbol: size x size modules, 1 dark, rows first.
struct Matrix {
  int rows = 0, columns = 0;
  std::vector<uint8_t> dark;
  bool Dark(int r, int c) const { return dark[static_cast<size_t>(r) * columns + c] != 0; }
};
struct MatrixOptions {
  int option1 = -1, option2 = 0, option3 = 0;  // zint's symbol options
  bool unicode = false;                          // data is UTF-8
  int eci = 0;
  bool gs1 = false;  // data in zint's GS1 form, FNC1 first
};
// Empty when zint refuses.
Matrix EncodeMatrix(int zintSymbology, const std::string& data, const MatrixOptions& options = {});

// Draws the symbol with square modules of moduleSize pixels centred at
// (centreX, centreY), turned clockwise by angleDegrees, with quietModules of
// light around it; shear skews it (column offset per row, in modules).
void DrawMatrix(Page* page, const Matrix& m, double centreX, double centreY, double moduleSize,
                double angleDegrees, int quietModules = 4, double shear = 0);

struct ZxingMatrixRead {
  std::string text;
  double centreX, centreY;
};
// zxing-cpp's reads of the page restricted to QR Code (qr) or Data Matrix.
std::vector<ZxingMatrixRead> ReadMatrixWithZxing(const Page& page, bool qr);

// Module rows of a zint PDF417 symbol (1 = bar) for a number of data
// columns (0: zint's choice) and security level (-1: zint's choice); empty
// when zint refuses. The data goes in as bytes.
std::vector<std::vector<uint8_t>> EncodePdf417(const std::string& data, int columns, int level);

// Draws module rows (1 dark) of moduleWidth x rowHeight pixels, centred at
// (centreX, centreY) and turned clockwise by angleDegrees, with a light
// quiet zone of quietModules around them.
void DrawModules(Page* page, const std::vector<std::vector<uint8_t>>& rows, double centreX,
                 double centreY, double moduleWidth, double rowHeight, double angleDegrees,
                 int quietModules = 2);

// A zint MaxiCode (mode 2-6) drawn by zint at the given scale (about ten
// pixels a module at scale 1), as a grey page of its own; empty on refusal.
Page DrawMaxiCode(const std::string& data, int mode, float scale);
// Copies src onto page centred at (centreX, centreY), turned clockwise.
void Paste(Page* page, const Page& src, double centreX, double centreY, double angleDegrees);

struct ZxingPdf417 {
  std::string text;
  int left, top, right, bottom;  // upright box of the corners zxing found
};
std::vector<ZxingPdf417> ReadPdf417WithZxing(const Page& page);

// Our binary scan image (1 dark) from a page at a threshold.
std::vector<uint8_t> Binarize(const Page& page, int threshold = 128);

}  // namespace fixtures
