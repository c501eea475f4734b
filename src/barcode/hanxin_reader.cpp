// Han Xin grid reader: function information, function modules, masks,
// codeword order, block correction and the text. The layout rules here were
// read off symbols zint draws; docs/ARCHITECTURE.md says how.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "barcode/alloc.h"
#include "barcode/error_trail.h"
#include "barcode/hanxin.h"
#include "barcode/hanxin_tables.h"
#include "barcode/reed_solomon.h"
#include "platform/os.h"

namespace barcode {

namespace {

constexpr int32_t kUnreadable = -6;
constexpr int32_t kBlockFailed = -5;
constexpr int32_t kNoGridMemory = -10104303;
constexpr int32_t kNoCodewordMemory = -10104305;
constexpr int32_t kOtherVersion = -40104311;
constexpr int32_t kConversionFailed = -99104503;
constexpr int32_t kConvertedTooLong = -99104505;
constexpr uint32_t kCodePageGb18030 = 54936;
constexpr int kCornerArea = 9;      // finder, separator and information row/column
constexpr int kInterleaveStep = 13;  // codewords are placed 13 columns apart
constexpr uint8_t kFunction = 3;
constexpr double kMaxFinderDisagreement = 5.0;

int Side(int version) { return 2 * version + 21; }

int32_t Refuse(int32_t code, int32_t lastError) {
  ReaderLastError() = lastError;
  return code;
}

// Data masks, 1-based row i and column j; 0 leaves the data as it is.
bool MaskBit(int mask, int r, int c) {
  const int i = r + 1, j = c + 1;
  switch (mask) {
    case 1: return (i + j) % 2 == 0;
    case 2: return ((i + j) % 3 + j % 3) % 2 == 0;
    case 3: return (i % j + j % i + i % 3 + j % 3) % 2 == 0;
    default: return false;
  }
}

// The 28 information bits of the first copy lie along the top-left and
// top-right finders: row 8 from the left, column 8 upwards, then the column
// left of the top-right finder downwards and two modules of row 8. The
// second copy is the first turned half a turn.
void InfoPosition(int n, int bit, int* r, int* c) {
  if (bit < 8) {
    *r = 8, *c = bit;
  } else if (bit < 17) {
    *r = 16 - bit, *c = 8;
  } else if (bit < 26) {
    *r = bit - 17, *c = n - 9;
  } else {
    *r = 8, *c = n - 8 + (bit - 26);
  }
}

// Both copies of the function information through dark(row, column).
template <class Dark>
int32_t ReadInfo(int n, Dark dark, int* version, int* level, int* mask) {
  uint8_t copies[2][7] = {};
  for (int bit = 0; bit < 28; ++bit) {
    int r, c;
    InfoPosition(n, bit, &r, &c);
    const int shift = 3 - bit % 4;
    copies[0][bit / 4] |= static_cast<uint8_t>(dark(r, c) << shift);
    copies[1][bit / 4] |= static_cast<uint8_t>(dark(n - 1 - r, n - 1 - c) << shift);
  }
  return DecodeHanXinFunctionInfo(copies[0], copies[1], version, level, mask);
}

}  // namespace

void MarkHanXinFunctionModules(int version, uint8_t* grid) {
  const int n = Side(version);
  auto mark = [&](int r, int c) {
    if (r >= 0 && c >= 0 && r < n && c < n) grid[r * n + c] = kFunction;
  };
  for (int r = 0; r < n; ++r)
    for (int c = 0; c < n; ++c)
      if ((r < kCornerArea || r >= n - kCornerArea) && (c < kCornerArea || c >= n - kCornerArea))
        mark(r, c);
  const int k = kHxLineSpacing[version - 1];
  if (k == 0) return;
  // Lines run k apart from the top-right corner: rows from the top, columns
  // from the right, the edges counted as lines; one closer to the far edge
  // than half a spacing merges into it.
  int rows[16], cols[16], nr = 0, nc = 0;
  rows[nr++] = 0;
  for (int y = k; y < n - 1; y += k) rows[nr++] = y;
  if (nr > 1 && n - 1 - rows[nr - 1] < k / 2) --nr;
  rows[nr++] = n - 1;
  cols[nc++] = n - 1;
  for (int x = n - 1 - k; x > 0; x -= k) cols[nc++] = x;
  if (nc > 1 && cols[nc - 1] < k / 2) --nc;
  cols[nc++] = 0;
  const int lastRow = nr - 1, lastCol = nc - 1;
  // Strokes alternate like a staircase; none touches the top-right finder.
  for (int i = 0; i <= lastCol; ++i)
    for (int j = 0; j < lastRow; ++j) {
      if ((i + j) % 2 != 0 || (i == 0 && j == 0)) continue;
      for (int y = rows[j]; y <= rows[j + 1]; ++y) mark(y, cols[i]);
      for (int y = rows[j] + 1; y < rows[j + 1]; ++y) mark(y, cols[i] - 1);
    }
  for (int j = 0; j <= lastRow; ++j)
    for (int i = 0; i < lastCol; ++i) {
      if ((i + j) % 2 != 0 || (i == 0 && j == 0)) continue;
      for (int x = cols[i + 1] - 1; x <= cols[i]; ++x) mark(rows[j], x);
      for (int x = cols[i + 1] - 1; x < cols[i]; ++x) mark(rows[j] + 1, x);
    }
  // A 3 x 2 mark where a line meets an edge with no stroke along it.
  for (int i = 1; i < lastCol; ++i)
    for (int d = -1; d <= 1; ++d) {
      if (i % 2 != 0) mark(0, cols[i] + d), mark(1, cols[i] + d);
      if ((i + lastRow - 1) % 2 != 0) mark(n - 1, cols[i] + d), mark(n - 2, cols[i] + d);
    }
  for (int j = 1; j < lastRow; ++j)
    for (int d = -1; d <= 1; ++d) {
      if (j % 2 != 0) mark(rows[j] + d, n - 1), mark(rows[j] + d, n - 2);
      if ((lastCol - 1 + j) % 2 != 0) mark(rows[j] + d, 0), mark(rows[j] + d, 1);
    }
}

int32_t DecodeHanXinGrid(uint8_t* grid, int version, ReaderOutput* out, int* infoVersion) {
  out->text[0] = '\0';
  *infoVersion = 0;
  if (version < 1 || version > 84) return kUnreadable;
  const int n = Side(version);
  int v = 0, level = 0, mask = 0;
  const int32_t info = ReadInfo(n, [&](int r, int c) { return (grid[r * n + c] & 1) != 0; }, &v,
                                &level, &mask);
  if (info != 0) return info;
  *infoVersion = v;
  if (v != version) return Refuse(kUnreadable, kOtherVersion);

  // Data modules row by row, unmasked, eight to a codeword.
  for (int r = 0; r < n; ++r)
    for (int c = 0; c < n; ++c) grid[r * n + c] = (grid[r * n + c] & 1) ^ MaskBit(mask, r, c);
  MarkHanXinFunctionModules(version, grid);
  const int total = n * n / 8;  // more than the data modules hold
  Buffer<uint8_t> placed = AllocArray<uint8_t>(static_cast<size_t>(total));
  Buffer<uint8_t> codewords = AllocArray<uint8_t>(static_cast<size_t>(total));
  if (!placed || !codewords) return Refuse(1, kNoCodewordMemory);
  int bits = 0;
  for (int i = 0; i < n * n; ++i) {
    if (grid[i] == kFunction) continue;
    if (bits / 8 < total) placed[bits / 8] |= static_cast<uint8_t>(grid[i] << (7 - bits % 8));
    ++bits;
  }
  const int count = bits / 8;
  // The stream holds codeword 0, 13, 26, ..., then 1, 14, ...
  for (int p = 0, column = 0; column < kInterleaveStep; ++column)
    for (int i = column; i < count; i += kInterleaveStep) codewords[i] = placed[p++];

  const HxBlockGroup* groups = kHxBlocks[version - 1][level];
  if (groups[0].count == 0) {
    std::fputs("HX Encode Error Level Error.\n", stdout);
    return kUnreadable;
  }
  int at = 0, dataAt = 0;
  for (int g = 0; g < 3 && groups[g].count != 0; ++g)
    for (int b = 0; b < groups[g].count; ++b) {
      const int size = groups[g].data + groups[g].check;
      if (at + size > count) return kUnreadable;
      if (CorrectCodewords(codewords.get() + at, groups[g].data, groups[g].check, 1,
                           kPolynomialHanXin) != 0)
        return kBlockFailed;
      // Data codewords move to the front, block after block.
      std::memmove(codewords.get() + dataAt, codewords.get() + at, groups[g].data);
      dataAt += groups[g].data;
      at += size;
    }

  char gb[kReaderTextSize];
  int32_t length = 0;
  const int32_t decoded = DecodeHanXinData(codewords.get(), dataAt, gb, kReaderTextSize, &length);
  if (decoded != 0) return decoded;
  // ASCII is the same in every ANSI code page and needs no conversion (Wine
  // has no code page 54936).
  std::optional<std::string> text(std::string(gb, static_cast<size_t>(length)));
  bool ascii = true;
  for (int32_t i = 0; i < length; ++i) ascii = ascii && static_cast<uint8_t>(gb[i]) < 0x80;
  if (!ascii) text = os::ConvertCodePage(*text, kCodePageGb18030, os::kCodePageThreadAnsi);
  if (!text) return Refuse(kUnreadable, kConversionFailed);
  if (text->size() + 1 > sizeof(out->text)) return Refuse(kUnreadable, kConvertedTooLong);
  std::memcpy(out->text, text->c_str(), text->size() + 1);
  std::snprintf(out->name, sizeof(out->name), "%s", "HXCode");
  return 0;
}

namespace {

// Module size at a found finder: a third of its block's dark run through the
// centre along the symbol's rows, walked in half-pixel steps; 0 when the
// centre is light or the run does not end within two block sides either way.
double BlockModule(const BinaryImage& image, double cx, double cy, double ux, double uy,
                   double module) {
  const HxPixels img(image);
  const int limit = static_cast<int>(12 * module);  // half steps
  if (!img.DarkAt(cx, cy)) return 0;
  const int back = DarkReach(img, cx, cy, -0.5 * ux, -0.5 * uy, limit);
  const int front = DarkReach(img, cx, cy, 0.5 * ux, 0.5 * uy, limit);
  if (back >= limit || front >= limit) return 0;
  return (back + front + 2) * 0.5 / 3;
}

// The found finders' module sizes, measured along the rows, must agree
// within 5 pixels, as a QR Code's do.
bool FindersAgree(const BinaryImage& image, const HxCandidate& c) {
  const double step = std::hypot(c.stepUx, c.stepUy);
  if (!(step > 0)) return false;
  double module[3];
  for (int k = 0; k < c.points && k < 3; ++k) {
    module[k] = BlockModule(image, c.x[k], c.y[k], c.stepUx / step, c.stepUy / step, step);
    if (module[k] <= 0) return false;
    for (int j = 0; j < k; ++j)
      if (std::fabs(module[k] - module[j]) > kMaxFinderDisagreement) return false;
  }
  return true;
}

}  // namespace

int32_t ReadHanXin(const BinaryImage& image, HxCandidate* candidate, ReaderOutput* out) {
  out->text[0] = '\0';
  if (candidate->version < 1 || candidate->version > 84) return kUnreadable;
  if (!FindersAgree(image, *candidate)) return kUnreadable;
  // The information bits first: most frames on a page of finder-like marks
  // carry none and are refused before the whole grid is sampled. The
  // finders' spacing only estimates the version; the information gives it
  // exactly, and the same points are framed again for it.
  int version = 0, level = 0, mask = 0;
  const int32_t info = ReadInfo(
      Side(candidate->version),
      [&](int r, int c) { return HanXinModuleDark(image, *candidate, r, c); }, &version, &level,
      &mask);
  if (info != 0) return info;
  if (version != candidate->version) {
    ReaderLastError() = kOtherVersion;
    if (!ReframeHanXin(candidate, version)) return kUnreadable;
  }
  const size_t side = static_cast<size_t>(Side(version));
  Buffer<uint8_t> grid = AllocUninitializedArray<uint8_t>(side * side);
  if (!grid) return Refuse(1, kNoGridMemory);
  SampleHanXinGrid(image, *candidate, grid.get());
  int infoVersion = 0;
  const int32_t code = DecodeHanXinGrid(grid.get(), version, out, &infoVersion);
  if (code == 0) out->moduleSize = candidate->moduleSize;
  return code;
}

}  // namespace barcode
