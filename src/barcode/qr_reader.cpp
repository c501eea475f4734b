// ReadQr: samples the module grid of a framed QR Code from its three finder
// centres, reads the format information, removes the mask, collects the
// codewords in their zig-zag order, corrects each block and decodes the
// segments (numeric, alphanumeric, byte, Kanji).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "barcode/error_trail.h"
#include "barcode/qr.h"
#include "barcode/reed_solomon.h"
#include "platform/os.h"

namespace barcode {

namespace {

constexpr int kMinVersion = 1;
constexpr int kMaxVersion = 40;
constexpr double kMaxFinderDisagreement = 5.0;
constexpr uint32_t kFormatMask = 0x5412;
constexpr int kMaxFormatDistance = 3;
constexpr int kCodePageShiftJis = 932;
constexpr int kCodePageUtf8 = 65001;

constexpr int32_t kReadGeometry = -6;
constexpr int32_t kReadBlock = -5;
constexpr int32_t kReadMode = -3;

constexpr int32_t kErrorMemoryImage = -10105101;
constexpr int32_t kErrorMemoryGrid = -10105301;
constexpr int32_t kErrorMemoryCodewords = -10105303;
constexpr int32_t kErrorMemoryBlocks = -10105305;
constexpr int32_t kErrorFindersDisagree = -40105307;
constexpr int32_t kErrorLevelTable = -40105103;
constexpr int32_t kErrorModeNotSupported = -40105501;
constexpr int32_t kErrorModeUnknown = -40105505;
constexpr int32_t kErrorKanjiConversion = -99105507;
constexpr int32_t kErrorKanjiTooLong = -99105509;

const char kLevelMessage[] = "QR Encode Error Level Error.";
const char kModeMessage[] = "QR Encode Error Get String Type Error.";
const char kAlphanumeric[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ $%*+-./:";

// Error-correction codewords per block and number of blocks, by level (L, M,
// Q, H) and version 1-40 (ISO/IEC 18004 Table 9). The data codewords follow
// from the version's codeword count: the blocks share it as evenly as they
// can, the longer blocks last.
const uint8_t kEcPerBlock[4][40] = {
    {7,  10, 15, 20, 26, 18, 20, 24, 30, 18, 20, 24, 26, 30, 22, 24, 28, 30, 28, 28,
     28, 28, 30, 30, 26, 28, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30},
    {10, 16, 26, 18, 24, 16, 18, 22, 22, 26, 30, 22, 22, 24, 24, 28, 28, 26, 26, 26,
     26, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28},
    {13, 22, 18, 26, 18, 24, 18, 22, 20, 24, 28, 26, 24, 20, 30, 24, 28, 28, 26, 30,
     28, 30, 30, 30, 30, 28, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30},
    {17, 28, 22, 16, 22, 28, 26, 26, 24, 28, 24, 28, 22, 24, 24, 30, 28, 28, 26, 28,
     30, 24, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30}};
const uint8_t kBlocks[4][40] = {
    {1,  1,  1,  1,  1,  2,  2,  2,  2,  4,  4,  4,  4,  4,  6,  6,  6,  6,  7,  8,
     8,  9,  9,  10, 12, 12, 12, 13, 14, 15, 16, 17, 18, 19, 19, 20, 21, 22, 24, 25},
    {1,  1,  1,  2,  2,  4,  4,  4,  5,  5,  5,  8,  9,  9,  10, 10, 11, 13, 14, 16,
     17, 17, 18, 20, 21, 23, 25, 26, 28, 29, 31, 33, 35, 37, 38, 40, 43, 45, 47, 49},
    {1,  1,  2,  2,  4,  4,  6,  6,  8,  8,  8,  10, 12, 16, 12, 17, 16, 18, 21, 20,
     23, 23, 25, 27, 29, 34, 34, 35, 38, 40, 43, 45, 48, 51, 53, 56, 59, 62, 65, 68},
    {1,  1,  2,  4,  4,  4,  5,  6,  8,  8,  11, 11, 16, 16, 18, 16, 19, 21, 25, 25,
     25, 34, 30, 32, 35, 37, 40, 42, 45, 48, 51, 54, 57, 60, 63, 66, 70, 74, 77, 81}};

// Alignment pattern centres (row and column values) per version, Annex E.
const uint8_t kAlignment[41][8] = {
    {},
    {},
    {6, 18},
    {6, 22},
    {6, 26},
    {6, 30},
    {6, 34},
    {6, 22, 38},
    {6, 24, 42},
    {6, 26, 46},
    {6, 28, 50},
    {6, 30, 54},
    {6, 32, 58},
    {6, 34, 62},
    {6, 26, 46, 66},
    {6, 26, 48, 70},
    {6, 26, 50, 74},
    {6, 30, 54, 78},
    {6, 30, 56, 82},
    {6, 30, 58, 86},
    {6, 34, 62, 90},
    {6, 28, 50, 72, 94},
    {6, 26, 50, 74, 98},
    {6, 30, 54, 78, 102},
    {6, 28, 54, 80, 106},
    {6, 32, 58, 84, 110},
    {6, 30, 58, 86, 114},
    {6, 34, 62, 90, 118},
    {6, 26, 50, 74, 98, 122},
    {6, 30, 54, 78, 102, 126},
    {6, 26, 52, 78, 104, 130},
    {6, 30, 56, 82, 108, 134},
    {6, 34, 60, 86, 112, 138},
    {6, 30, 58, 86, 114, 142},
    {6, 34, 62, 90, 118, 146},
    {6, 30, 54, 78, 102, 126, 150},
    {6, 24, 50, 76, 102, 128, 154},
    {6, 28, 54, 80, 106, 132, 158},
    {6, 32, 58, 84, 110, 136, 162},
    {6, 26, 54, 82, 110, 138, 166},
    {6, 30, 58, 86, 114, 142, 170}};

struct Point {
  double x, y;
};

struct Fail {
  int32_t code;
};

int32_t Refuse(int32_t code, int32_t lastError) {
  ReaderLastError() = lastError;
  return code;
}

// One-byte view of the crop: 1 where the first channel is below 129.
struct Mono {
  Buffer<uint8_t> px;
  int64_t w = 0, h = 0;
  bool Dark(int64_t x, int64_t y) const {
    return x >= 0 && y >= 0 && x < w && y < h && px[y * w + x] != 0;
  }
};

// Outer width of a finder along direction (ux, uy) through its centre: dark
// centre, light ring, dark ring, then light. 0 when the pattern is not there.
double FinderWidth(const Mono& img, Point c, double ux, double uy, double limit) {
  double total = 0;
  for (int dir : {-1, 1}) {
    int phase = 0;  // 0 centre, 1 light ring, 2 dark ring
    double t = 0;
    for (; t <= limit; t += 0.5) {
      const bool dark = img.Dark(static_cast<int64_t>(std::floor(c.x + dir * t * ux)),
                                 static_cast<int64_t>(std::floor(c.y + dir * t * uy)));
      if (phase == 0 && !dark) phase = 1;
      else if (phase == 1 && dark) phase = 2;
      else if (phase == 2 && !dark) break;
    }
    if (phase != 2 || t > limit) return 0;
    total += t;
  }
  return total;
}

// The 32 format codewords (before the 0x5412 mask): 5 data bits and their
// BCH(15,5) remainder.
uint32_t FormatCodeword(uint32_t data) {
  uint32_t v = data << 10;
  for (int bit = 14; bit >= 10; --bit)
    if (v >> bit & 1) v ^= 0x537u << (bit - 10);
  return data << 10 | v;
}

// Data bits (level and mask) of the nearest format codeword, or -1.
int DecodeFormat(uint32_t bits) {
  bits ^= kFormatMask;
  int best = -1, bestDistance = kMaxFormatDistance + 1;
  for (uint32_t d = 0; d < 32; ++d) {
    const int distance = __builtin_popcount(bits ^ FormatCodeword(d));
    if (distance < bestDistance) bestDistance = distance, best = static_cast<int>(d);
  }
  return best;
}

bool MaskBit(int mask, int i, int j) {
  switch (mask) {
    case 0: return (i + j) % 2 == 0;
    case 1: return i % 2 == 0;
    case 2: return j % 3 == 0;
    case 3: return (i + j) % 3 == 0;
    case 4: return (i / 2 + j / 3) % 2 == 0;
    case 5: return (i * j) % 2 + (i * j) % 3 == 0;
    case 6: return ((i * j) % 2 + (i * j) % 3) % 2 == 0;
    default: return ((i + j) % 2 + (i * j) % 3) % 2 == 0;
  }
}

// 1 for modules that carry no data: finders with separators and format
// areas, timing, alignment and version information.
void MarkFunction(uint8_t* fn, int version, int dim) {
  auto box = [&](int r0, int c0, int rows, int cols) {
    for (int r = r0; r < r0 + rows; ++r)
      for (int c = c0; c < c0 + cols; ++c) fn[r * dim + c] = 1;
  };
  box(0, 0, 9, 9);
  box(0, dim - 8, 9, 8);
  box(dim - 8, 0, 8, 9);
  box(6, 0, 1, dim);
  box(0, 6, dim, 1);
  const uint8_t* centres = kAlignment[version];
  int n = 0;
  while (n < 8 && centres[n] != 0) ++n;
  for (int a = 0; a < n; ++a)
    for (int b = 0; b < n; ++b) {
      const bool onFinder = (a == 0 && b == 0) || (a == 0 && b == n - 1) || (a == n - 1 && b == 0);
      if (!onFinder) box(centres[a] - 2, centres[b] - 2, 5, 5);
    }
  if (version >= 7) {
    box(0, dim - 11, 6, 3);
    box(dim - 11, 0, 3, 6);
  }
}

// Reads bits from the corrected data codewords, most significant first.
struct BitReader {
  const uint8_t* bytes;
  int64_t count;  // bits
  int64_t at = 0;
  int64_t Left() const { return count - at; }
  uint32_t Read(int n) {
    uint32_t v = 0;
    for (int k = 0; k < n; ++k, ++at) v = v << 1 | (bytes[at >> 3] >> (7 - (at & 7)) & 1);
    return v;
  }
};

// Appends to the decoded text; false when it would not fit the output.
struct Text {
  std::string s;
  bool Add(char c) {
    if (s.size() + 1 >= static_cast<size_t>(kReaderTextSize)) return false;
    s.push_back(c);
    return true;
  }
};

// Decodes the segments; 0, or the read code (ReaderLastError set).
int32_t DecodeSegments(BitReader* in, int version, Text* text) {
  const int sizeClass = version <= 9 ? 0 : (version <= 26 ? 1 : 2);
  static const int kCountBits[4][3] = {{10, 12, 14}, {9, 11, 13}, {8, 16, 16}, {8, 10, 12}};
  while (in->Left() >= 4) {
    const uint32_t mode = in->Read(4);
    if (mode == 0) return 0;
    int kind;
    switch (mode) {
      case 1: kind = 0; break;
      case 2: kind = 1; break;
      case 4: kind = 2; break;
      case 8: kind = 3; break;
      default:
        std::fputs(kModeMessage, stdout);
        std::fputs("\n", stdout);
        // ECI, FNC1 and structured append are real modes we do not decode.
        const bool known = mode == 3 || mode == 5 || mode == 7 || mode == 9;
        return Refuse(kReadMode, known ? kErrorModeNotSupported : kErrorModeUnknown);
    }
    const int countBits = kCountBits[kind][sizeClass];
    if (in->Left() < countBits) return Refuse(kReadGeometry, kErrorModeUnknown);
    uint32_t count = in->Read(countBits);
    if (kind == 0) {
      for (; count > 0;) {
        const int digits = count >= 3 ? 3 : static_cast<int>(count);
        const int bits = digits == 3 ? 10 : (digits == 2 ? 7 : 4);
        if (in->Left() < bits) return Refuse(kReadGeometry, kErrorModeUnknown);
        uint32_t v = in->Read(bits);
        if (v >= (digits == 3 ? 1000u : digits == 2 ? 100u : 10u))
          return Refuse(kReadGeometry, kErrorModeUnknown);
        char d[3];
        for (int k = digits - 1; k >= 0; --k, v /= 10) d[k] = static_cast<char>('0' + v % 10);
        for (int k = 0; k < digits; ++k)
          if (!text->Add(d[k])) return Refuse(kReadGeometry, kErrorModeUnknown);
        count -= static_cast<uint32_t>(digits);
      }
    } else if (kind == 1) {
      for (; count > 0;) {
        const bool pair = count >= 2;
        if (in->Left() < (pair ? 11 : 6)) return Refuse(kReadGeometry, kErrorModeUnknown);
        const uint32_t v = in->Read(pair ? 11 : 6);
        if (v >= (pair ? 45u * 45u : 45u)) return Refuse(kReadGeometry, kErrorModeUnknown);
        if (pair && !text->Add(kAlphanumeric[v / 45])) return Refuse(kReadGeometry, kErrorModeUnknown);
        if (!text->Add(kAlphanumeric[v % 45])) return Refuse(kReadGeometry, kErrorModeUnknown);
        count -= pair ? 2 : 1;
      }
    } else if (kind == 2) {
      if (in->Left() < static_cast<int64_t>(count) * 8) return Refuse(kReadGeometry, kErrorModeUnknown);
      for (; count > 0; --count)
        if (!text->Add(static_cast<char>(in->Read(8)))) return Refuse(kReadGeometry, kErrorModeUnknown);
    } else {
      if (in->Left() < static_cast<int64_t>(count) * 13) return Refuse(kReadGeometry, kErrorModeUnknown);
      std::string sjis;
      for (; count > 0; --count) {
        const uint32_t v = in->Read(13);
        uint32_t w = (v / 0xC0) << 8 | (v % 0xC0);
        w += w < 0x1F00 ? 0x8140 : 0xC140;
        sjis.push_back(static_cast<char>(w >> 8));
        sjis.push_back(static_cast<char>(w & 0xFF));
      }
      const std::optional<std::string> utf8 =
          os::ConvertCodePage(sjis, kCodePageShiftJis, kCodePageUtf8);
      if (!utf8) return Refuse(kReadGeometry, kErrorKanjiConversion);
      for (char c : *utf8)
        if (!text->Add(c)) return Refuse(kReadGeometry, kErrorKanjiTooLong);
    }
  }
  return 0;
}

// Reads the sampled grid with one format (level and mask). 0 with the text
// set when read.
int32_t DecodeGrid(const uint8_t* grid, int version, int dim, int format, ReaderOutput* out) {
  // Level bits: 01 L, 00 M, 11 Q, 10 H.
  static const int kLevelIndex[4] = {1, 0, 3, 2};
  const int level = kLevelIndex[format >> 3 & 3];
  const int mask = format & 7;
  if (level < 0 || level > 3) {
    std::fputs(kLevelMessage, stdout);
    std::fputs("\n", stdout);
    return Refuse(kReadGeometry, kErrorLevelTable);
  }

  const size_t cells = static_cast<size_t>(dim) * dim;
  Buffer<uint8_t> fn = AllocArray<uint8_t>(cells);
  if (!fn) return Refuse(1, kErrorMemoryGrid);
  MarkFunction(fn.get(), version, dim);
  int total = 0;
  for (size_t k = 0; k < cells; ++k) total += fn[k] == 0;
  total /= 8;
  Buffer<uint8_t> raw = AllocArray<uint8_t>(static_cast<size_t>(total));
  Buffer<uint8_t> data = AllocArray<uint8_t>(static_cast<size_t>(total));
  if (!raw || !data) return Refuse(1, kErrorMemoryCodewords);
  // Zig-zag: column pairs from the right, upwards then downwards, the
  // vertical timing column passed over.
  int bit = 0;
  bool up = true;
  for (int right = dim - 1; right > 0; right -= 2) {
    if (right == 6) right = 5;
    for (int step = 0; step < dim; ++step) {
      const int r = up ? dim - 1 - step : step;
      for (int c = right; c >= right - 1; --c) {
        if (fn[r * dim + c]) continue;
        if (bit / 8 < total && (grid[r * dim + c] ^ MaskBit(mask, r, c)))
          raw[bit / 8] = static_cast<uint8_t>(raw[bit / 8] | 0x80 >> (bit % 8));
        ++bit;
      }
    }
    up = !up;
  }

  // De-interleave and correct block by block.
  const int blocks = kBlocks[level][version - 1], ec = kEcPerBlock[level][version - 1];
  const int shortLength = total / blocks, longBlocks = total % blocks;
  const int shortData = shortLength - ec;
  Buffer<uint8_t> block = AllocArray<uint8_t>(static_cast<size_t>(shortLength) + 1);
  if (!block) return Refuse(1, kErrorMemoryBlocks);
  int dataOut = 0;
  for (int b = 0; b < blocks; ++b) {
    const bool isLong = b >= blocks - longBlocks;
    const int dataCount = shortData + (isLong ? 1 : 0);
    for (int i = 0; i < dataCount; ++i) {
      // Data codeword i of every block comes in turn; the long blocks' last
      // data codeword comes after all short ones have ended.
      const int index = i < shortData ? i * blocks + b
                                      : shortData * blocks + (b - (blocks - longBlocks));
      block[i] = raw[index];
    }
    const int ecStart = shortData * blocks + longBlocks;
    for (int i = 0; i < ec; ++i) block[dataCount + i] = raw[ecStart + i * blocks + b];
    if (CorrectCodewords(block.get(), dataCount, ec, 0, kPolynomialQr) != 0) return kReadBlock;
    std::memcpy(data.get() + dataOut, block.get(), static_cast<size_t>(dataCount));
    dataOut += dataCount;
  }

  BitReader in{data.get(), static_cast<int64_t>(dataOut) * 8};
  Text text;
  const int32_t code = DecodeSegments(&in, version, &text);
  if (code != 0) return code;
  if (text.s.empty()) return 0;
  std::snprintf(out->name, sizeof(out->name), "%s", "QR_CODE");
  std::memcpy(out->text, text.s.data(), text.s.size());
  out->text[text.s.size()] = '\0';
  std::memcpy(out->secondText, out->text, text.s.size() + 1);
  return 0;
}

// One attempt at a given version. 0 with the text set when read.
int32_t ReadVersion(const Mono& img, const Point finders[3], int version, ReaderOutput* out) {
  const int dim = 4 * version + 17;
  // Module (mx, my) lies at tl + (mx - 3.5) u + (my - 3.5) v.
  const double span = dim - 7;
  const Point u{(finders[0].x - finders[1].x) / span, (finders[0].y - finders[1].y) / span};
  const Point v{(finders[2].x - finders[1].x) / span, (finders[2].y - finders[1].y) / span};
  auto at = [&](double mx, double my) {
    return Point{finders[1].x + (mx - 3.5) * u.x + (my - 3.5) * v.x,
                 finders[1].y + (mx - 3.5) * u.y + (my - 3.5) * v.y};
  };
  // The four outer corners must lie inside the crop.
  for (const Point& c : {at(0, 0), at(dim, 0), at(0, dim), at(dim, dim)})
    if (c.x < 0 || c.y < 0 || c.x >= img.w || c.y >= img.h) return kReadGeometry;

  const size_t cells = static_cast<size_t>(dim) * dim;
  Buffer<uint8_t> grid = AllocArray<uint8_t>(cells);
  if (!grid) return Refuse(1, kErrorMemoryGrid);
  for (int r = 0; r < dim; ++r)
    for (int c = 0; c < dim; ++c) {
      const Point p = at(c + 0.5, r + 0.5);
      grid[r * dim + c] = img.Dark(static_cast<int64_t>(std::floor(p.x)),
                                   static_cast<int64_t>(std::floor(p.y)));
    }
  out->moduleSize = std::hypot(u.x, u.y);

  // Format information, bit k at the k-th place read.
  auto readFormat = [&](const int (*cellsOf)[2]) {
    uint32_t bits = 0;
    for (int k = 0; k < 15; ++k) bits |= uint32_t{grid[cellsOf[k][0] * dim + cellsOf[k][1]]} << k;
    return DecodeFormat(bits);
  };
  int first[15][2], second[15][2];
  for (int k = 0, r = 0; r <= 8; ++r)
    if (r != 6) first[k++][0] = r, first[k - 1][1] = 8;
  for (int k = 8, c = 7; c >= 0; --c)
    if (c != 6) first[k++][0] = 8, first[k - 1][1] = c;
  for (int k = 0; k < 8; ++k) second[k][0] = 8, second[k][1] = dim - 1 - k;
  for (int k = 8; k < 15; ++k) second[k][0] = dim - 15 + k, second[k][1] = 8;
  const int format = readFormat(first);
  const int backup = readFormat(second);
  if (format < 0 && backup < 0) return kReadGeometry;
  int32_t code = kReadGeometry;
  if (format >= 0) code = DecodeGrid(grid.get(), version, dim, format, out);
  // A damaged first copy can sit near the wrong codeword; the second copy
  // gets its turn when the first one's reading does not hold.
  if (out->text[0] == '\0' && (code == kReadGeometry || code == kReadBlock) && backup >= 0 &&
      backup != format)
    code = DecodeGrid(grid.get(), version, dim, backup, out);
  return code;
}

}  // namespace

int32_t ReadQr(const BinaryImage& crop, const double finders[3][2], double finderSize,
               ReaderOutput* out) {
  out->text[0] = '\0';
  if (crop.channels != 3 || crop.pixels == nullptr || crop.width == 0 || crop.height == 0 ||
      crop.stride < static_cast<uint64_t>(crop.width) * 3)
    return kReadGeometry;
  for (int k = 0; k < 3; ++k)
    if (!std::isfinite(finders[k][0]) || !std::isfinite(finders[k][1])) return kReadGeometry;
  if (!std::isfinite(finderSize) || finderSize <= 0) return kReadGeometry;

  Mono img;
  img.w = crop.width;
  img.h = crop.height;
  img.px = AllocUninitializedArray<uint8_t>(static_cast<size_t>(img.w * img.h));
  if (!img.px) return Refuse(1, kErrorMemoryImage);
  for (int64_t y = 0; y < img.h; ++y)
    for (int64_t x = 0; x < img.w; ++x)
      img.px[y * img.w + x] = crop.pixels[y * crop.stride + x * 3] < 129;

  // The corner finder faces the longest side; the other two are ordered so
  // that the grid is not read mirrored. Centres move to pixel middles.
  Point p[3];
  for (int k = 0; k < 3; ++k) p[k] = Point{finders[k][0] + 0.5, finders[k][1] + 0.5};
  auto d2 = [&](int a, int b) { return std::hypot(p[a].x - p[b].x, p[a].y - p[b].y); };
  int corner = 0;
  if (d2(0, 2) > d2(1, 2) && d2(0, 2) > d2(0, 1)) corner = 1;
  else if (d2(0, 1) > d2(0, 2) && d2(0, 1) > d2(1, 2)) corner = 2;
  Point tl = p[corner], a = p[(corner + 1) % 3], b = p[(corner + 2) % 3];
  if ((a.x - tl.x) * (b.y - tl.y) - (a.y - tl.y) * (b.x - tl.x) < 0) std::swap(a, b);
  const Point ordered[3] = {a, tl, b};

  // Each finder's width along the symbol's rows.
  const double axis = std::hypot(a.x - tl.x, a.y - tl.y);
  if (axis < 1) return kReadGeometry;
  const double ux = (a.x - tl.x) / axis, uy = (a.y - tl.y) / axis;
  double widths[3];
  for (int k = 0; k < 3; ++k) {
    widths[k] = FinderWidth(img, ordered[k], ux, uy, 2 * finderSize);
    if (widths[k] <= 0) return Refuse(kReadGeometry, kErrorFindersDisagree);
  }
  for (int i = 0; i < 3; ++i)
    for (int j = i + 1; j < 3; ++j)
      if (std::fabs(widths[i] - widths[j]) > kMaxFinderDisagreement)
        return Refuse(kReadGeometry, kErrorFindersDisagree);
  const double s = (widths[0] + widths[1] + widths[2]) / 3;
  const double m = s / 7;
  const double sideA = axis + s, sideB = std::hypot(b.x - tl.x, b.y - tl.y) + s;
  const double estimate = (std::min(sideA, sideB) / m - 21) * 0.25 + 1.5;
  if (!(estimate >= kMinVersion && estimate < kMaxVersion + 1)) return 0;
  const int version = static_cast<int>(estimate);

  // The estimate rests on a measured finder width; the versions next to it
  // are tried when it does not read.
  int32_t last = kReadGeometry;
  for (int delta : {0, 1, -1, 2, -2}) {
    const int v = version + delta;
    if (v < kMinVersion || v > kMaxVersion) continue;
    const int32_t code = ReadVersion(img, ordered, v, out);
    if (code == 1 || out->text[0] != '\0') return code;
    if (code == kReadMode) return code;
    if (delta == 0) last = code;
  }
  return last;
}

}  // namespace barcode
