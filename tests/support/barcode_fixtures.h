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
// Module matrix of a two-dimensional zint symbol, row by row (1 = dark);
// empty when zint refuses. option1/option2 are zint's option_1/option_2
// (0 = zint's choice); dataMode is zint's input_mode.
struct Matrix {
  int rows = 0, cols = 0;
  std::vector<uint8_t> modules;
  uint8_t at(int r, int c) const { return modules[static_cast<size_t>(r) * cols + c]; }
};
Matrix EncodeMatrix(int zintSymbology, const std::string& data, int option1 = 0, int option2 = 0,
                    int dataMode = 0);

struct MatrixPlacement {
  double centreX, centreY;
  double moduleSize;
  double angleDegrees;  // clockwise on the page
  double shear = 0;     // small skew: column offset per row, in modules
};
// Draws the matrix with a light quiet zone of quietModules around it.
void DrawMatrix(Page* page, const Matrix& matrix, const MatrixPlacement& at, int quietModules = 3);

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

// Our binary scan image (1 dark) from a page at a threshold.
std::vector<uint8_t> Binarize(const Page& page, int threshold = 128);

}  // namespace fixtures
