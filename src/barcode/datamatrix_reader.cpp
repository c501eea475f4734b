// ReadDataMatrix: from the three corners of an L finder to the symbol's text.
// The four sides are fitted to the edges of the (enlarged) region, the size
// is the one whose finder and timing modules the sides frame best, and every
// module is sampled through the perspective map of the four corners.
#include <algorithm>
#include <cmath>
#include <cstring>
#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

#include "barcode/alloc.h"
#include "barcode/datamatrix.h"
#include "barcode/error_trail.h"
#include "barcode/reed_solomon.h"

namespace barcode {

namespace {

constexpr int32_t kNoSymbol = -6;
constexpr int32_t kErrorMemory = -10103103;
constexpr int32_t kErrorSize = -10103201;
constexpr int32_t kErrorCodewords = -10103203;
// Regions larger than this are not a symbol the finder can frame.
constexpr uint32_t kMaxRegionSide = 1u << 14;

const DataMatrixSize kSizes[kDataMatrixSizeCount] = {
    {10, 10, 8, 8, 1, 1, 3, 5, 1},
    {12, 12, 10, 10, 1, 1, 5, 7, 1},
    {14, 14, 12, 12, 1, 1, 8, 10, 1},
    {16, 16, 14, 14, 1, 1, 12, 12, 1},
    {18, 18, 16, 16, 1, 1, 18, 14, 1},
    {20, 20, 18, 18, 1, 1, 22, 18, 1},
    {22, 22, 20, 20, 1, 1, 30, 20, 1},
    {24, 24, 22, 22, 1, 1, 36, 24, 1},
    {26, 26, 24, 24, 1, 1, 44, 28, 1},
    {32, 32, 14, 14, 2, 2, 62, 36, 1},
    {36, 36, 16, 16, 2, 2, 86, 42, 1},
    {40, 40, 18, 18, 2, 2, 114, 48, 1},
    {44, 44, 20, 20, 2, 2, 144, 56, 1},
    {48, 48, 22, 22, 2, 2, 174, 68, 1},
    {52, 52, 24, 24, 2, 2, 204, 84, 2},
    {64, 64, 14, 14, 4, 4, 280, 112, 2},
    {72, 72, 16, 16, 4, 4, 368, 144, 4},
    {80, 80, 18, 18, 4, 4, 456, 192, 4},
    {88, 88, 20, 20, 4, 4, 576, 224, 4},
    {96, 96, 22, 22, 4, 4, 696, 272, 4},
    {104, 104, 24, 24, 4, 4, 816, 336, 6},
    {120, 120, 18, 18, 6, 6, 1050, 408, 6},
    {132, 132, 20, 20, 6, 6, 1304, 496, 8},
    {144, 144, 22, 22, 6, 6, 1558, 620, 10},
    {8, 18, 6, 16, 1, 1, 5, 7, 1},
    {8, 32, 6, 14, 1, 2, 10, 11, 1},
    {12, 26, 10, 24, 1, 1, 16, 14, 1},
    {12, 36, 10, 16, 1, 2, 22, 18, 1},
    {16, 36, 14, 16, 1, 2, 32, 24, 1},
    {16, 48, 14, 22, 1, 2, 49, 28, 1},
};

constexpr int32_t kUnset = -2;
constexpr int32_t kFixed = -1;

struct Placer {
  int32_t rows, columns;
  int32_t* map;
  int32_t& At(int32_t row, int32_t column) {
    // Positions off the matrix wrap round to its other side.
    if (row < 0) {
      row += rows;
      column += 4 - ((rows + 4) % 8);
    }
    if (column < 0) {
      column += columns;
      row += 4 - ((columns + 4) % 8);
    }
    return map[static_cast<size_t>(row) * columns + column];
  }
  void Bit(int32_t row, int32_t column, int32_t codeword, int32_t bit) {
    At(row, column) = codeword * 8 + bit;
  }
  // The usual L-and-square shape of a codeword ending at (row, column).
  void Shape(int32_t row, int32_t column, int32_t cw) {
    Bit(row - 2, column - 2, cw, 0);
    Bit(row - 2, column - 1, cw, 1);
    Bit(row - 1, column - 2, cw, 2);
    Bit(row - 1, column - 1, cw, 3);
    Bit(row - 1, column, cw, 4);
    Bit(row, column - 2, cw, 5);
    Bit(row, column - 1, cw, 6);
    Bit(row, column, cw, 7);
  }
  // The four corner shapes: eight (row, column) pairs each.
  void Corner(const int32_t (&cells)[8][2], int32_t cw) {
    for (int32_t bit = 0; bit < 8; ++bit) {
      int32_t r = cells[bit][0], c = cells[bit][1];
      if (r < 0) r += rows;
      if (c < 0) c += columns;
      Bit(r, c, cw, bit);
    }
  }
  bool Free(int32_t row, int32_t column) const {
    return map[static_cast<size_t>(row) * columns + column] == kUnset;
  }
};

}  // namespace

const DataMatrixSize* DataMatrixSizes() { return kSizes; }

const DataMatrixSize* FindDataMatrixSize(int32_t rows, int32_t columns) {
  for (const DataMatrixSize& s : kSizes) {
    if (s.rows == rows && s.columns == columns) return &s;
  }
  return nullptr;
}

int32_t PlaceCodewords(int32_t rows, int32_t columns, int32_t* map) {
  std::fill(map, map + static_cast<size_t>(rows) * columns, kUnset);
  Placer p{rows, columns, map};
  // Negative entries count from the last row or column.
  static const int32_t kCorner1[8][2] = {{-1, 0}, {-1, 1}, {-1, 2}, {0, -2},
                                         {0, -1}, {1, -1}, {2, -1}, {3, -1}};
  static const int32_t kCorner2[8][2] = {{-3, 0}, {-2, 0}, {-1, 0}, {0, -4},
                                         {0, -3}, {0, -2}, {0, -1}, {1, -1}};
  static const int32_t kCorner3[8][2] = {{-3, 0}, {-2, 0}, {-1, 0}, {0, -2},
                                         {0, -1}, {1, -1}, {2, -1}, {3, -1}};
  static const int32_t kCorner4[8][2] = {{-1, 0}, {-1, -1}, {0, -3}, {0, -2},
                                         {0, -1}, {1, -3}, {1, -2}, {1, -1}};
  int32_t cw = 0;
  int32_t row = 4, column = 0;
  do {
    if (row == rows && column == 0) p.Corner(kCorner1, cw++);
    if (row == rows - 2 && column == 0 && columns % 4 != 0) p.Corner(kCorner2, cw++);
    if (row == rows - 2 && column == 0 && columns % 8 == 4) p.Corner(kCorner3, cw++);
    if (row == rows + 4 && column == 2 && columns % 8 == 0) p.Corner(kCorner4, cw++);
    // Up and to the right, then down and to the left.
    do {
      if (row < rows && column >= 0 && p.Free(row, column)) p.Shape(row, column, cw++);
      row -= 2;
      column += 2;
    } while (row >= 0 && column < columns);
    row += 1;
    column += 3;
    do {
      if (row >= 0 && column < columns && p.Free(row, column)) p.Shape(row, column, cw++);
      row += 2;
      column -= 2;
    } while (row < rows && column >= 0);
    row += 3;
    column += 1;
  } while (row < rows || column < columns);
  // A bottom-right square left over holds a fixed pattern.
  if (p.Free(rows - 1, columns - 1)) {
    p.At(rows - 1, columns - 1) = p.At(rows - 2, columns - 2) = kFixed;
    p.At(rows - 1, columns - 2) = p.At(rows - 2, columns - 1) = kFixed;
  }
  return cw;
}

void MappingMatrix(const DataMatrixSize& size, const uint8_t* grid, uint8_t* mapping) {
  const int32_t mappingColumns = size.regionColumns * size.regionsAcross;
  for (int32_t rr = 0; rr < size.regionsDown; ++rr)
    for (int32_t y = 0; y < size.regionRows; ++y) {
      const int32_t symbolRow = rr * (size.regionRows + 2) + 1 + y;
      for (int32_t rc = 0; rc < size.regionsAcross; ++rc)
        for (int32_t x = 0; x < size.regionColumns; ++x) {
          const int32_t symbolColumn = rc * (size.regionColumns + 2) + 1 + x;
          mapping[static_cast<size_t>(rr * size.regionRows + y) * mappingColumns +
                  rc * size.regionColumns + x] =
              grid[static_cast<size_t>(symbolRow) * size.columns + symbolColumn];
        }
    }
}

bool ExtractCodewords(const DataMatrixSize& size, const uint8_t* grid, uint8_t* codewords) {
  const int32_t rows = size.regionRows * size.regionsDown;
  const int32_t columns = size.regionColumns * size.regionsAcross;
  const size_t cells = static_cast<size_t>(rows) * columns;
  Buffer<int32_t> map = AllocUninitializedArray<int32_t>(cells);
  Buffer<uint8_t> mapping = AllocUninitializedArray<uint8_t>(cells);
  if (!map || !mapping) return false;
  PlaceCodewords(rows, columns, map.get());
  MappingMatrix(size, grid, mapping.get());
  const int32_t total = size.dataCodewords + size.ecCodewords;
  std::fill(codewords, codewords + total, 0);
  for (size_t i = 0; i < cells; ++i) {
    const int32_t m = map[i];
    if (m < 0 || m / 8 >= total || !mapping[i]) continue;
    codewords[m / 8] |= static_cast<uint8_t>(0x80 >> (m % 8));
  }
  return true;
}

bool CorrectDataMatrixBlocks(const DataMatrixSize& size, uint8_t* codewords) {
  // Codeword i of the whole stream, check codewords included, belongs to
  // block i mod blocks (which only matters where the data blocks differ in
  // length: the check codewords then start at a block other than the first).
  const int32_t blocks = size.blocks;
  const int32_t total = size.dataCodewords + size.ecCodewords;
  uint8_t block[256];
  for (int32_t b = 0; b < blocks; ++b) {
    int32_t n = 0, dataCount = 0;
    for (int32_t i = b; i < total && n < 256; i += blocks) {
      block[n++] = codewords[i];
      if (i < size.dataCodewords) ++dataCount;
    }
    if (CorrectCodewords(block, dataCount, n - dataCount, 1, kPolynomialDataMatrix) != 0) return false;
    n = 0;
    for (int32_t i = b; i < size.dataCodewords; i += blocks) codewords[i] = block[n++];
  }
  return true;
}

namespace {

struct Vec {
  double x, y;
};
Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y}; }
Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y}; }
Vec operator*(double k, Vec a) { return {k * a.x, k * a.y}; }
double Dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y; }
double Cross(Vec a, Vec b) { return a.x * b.y - a.y * b.x; }
double Length(Vec a) { return std::sqrt(Dot(a, a)); }

// The region seen enlarged (scale 1 or 3): each region pixel covers a
// scale x scale block, dark when its first channel is below 129. Read in
// place, so that a false L costs no copy of its region.
struct DarkImage {
  int64_t width = 0, height = 0;
  int64_t scale = 1;
  const uint8_t* pixels = nullptr;
  uint64_t stride = 0, channels = 1;
  bool Dark(Vec p) const {
    if (!(p.x >= 0 && p.y >= 0 && p.x < width && p.y < height)) return false;
    uint64_t x = static_cast<uint64_t>(p.x), y = static_cast<uint64_t>(p.y);
    // The reader only enlarges three times: a division by a constant.
    if (scale == 3) x /= 3, y /= 3;
    return pixels[y * stride + x * channels] < 129;
  }
};

struct Line {
  Vec point, direction;  // direction of unit length
};

bool Intersect(const Line& l, const Line& m, Vec* at) {
  const double den = Cross(l.direction, m.direction);
  if (std::fabs(den) < 1e-6) return false;
  const double t = Cross(m.point - l.point, m.direction) / den;
  *at = l.point + t * l.direction;
  return std::isfinite(at->x) && std::isfinite(at->y);
}

// Least squares over the points whose flag is set.
bool FitLine(const Vec* points, const uint8_t* use, int32_t n, Line* line) {
  double sx = 0, sy = 0;
  int32_t k = 0;
  for (int32_t i = 0; i < n; ++i)
    if (use[i]) sx += points[i].x, sy += points[i].y, ++k;
  if (k < 2) return false;
  const Vec mean{sx / k, sy / k};
  double xx = 0, xy = 0, yy = 0;
  for (int32_t i = 0; i < n; ++i) {
    if (!use[i]) continue;
    const Vec d = points[i] - mean;
    xx += d.x * d.x, xy += d.x * d.y, yy += d.y * d.y;
  }
  const double angle = 0.5 * std::atan2(2 * xy, xx - yy);
  *line = Line{mean, Vec{std::cos(angle), std::sin(angle)}};
  return true;
}

// Counts the points of [from, to) within tol of the line through p with
// this normal (on) and those further out along it (beyond).
void CountNearLine(const double* xs, const double* ys, int32_t from, int32_t to, Vec p, Vec normal,
                   double tol, int64_t* on, int64_t* beyond) {
  int32_t i = from;
#if defined(__SSE2__) || defined(_M_X64)
  // Two points at a time, by the same operations in the same order as the
  // loop below; a true comparison is an all-ones lane, -1, so subtracting
  // it counts it.
  const __m128d px = _mm_set1_pd(p.x), py = _mm_set1_pd(p.y);
  const __m128d nx = _mm_set1_pd(normal.x), ny = _mm_set1_pd(normal.y);
  const __m128d limit = _mm_set1_pd(tol), sign = _mm_set1_pd(-0.0);
  __m128i onLanes = _mm_setzero_si128(), beyondLanes = _mm_setzero_si128();
  for (; i + 2 <= to; i += 2) {
    const __m128d r = _mm_add_pd(_mm_mul_pd(_mm_sub_pd(_mm_loadu_pd(xs + i), px), nx),
                                 _mm_mul_pd(_mm_sub_pd(_mm_loadu_pd(ys + i), py), ny));
    const __m128d near = _mm_cmple_pd(_mm_andnot_pd(sign, r), limit);
    onLanes = _mm_sub_epi64(onLanes, _mm_castpd_si128(near));
    beyondLanes = _mm_sub_epi64(beyondLanes, _mm_castpd_si128(_mm_cmpgt_pd(r, limit)));
  }
  int64_t lanes[2];
  _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes), onLanes);
  *on += lanes[0] + lanes[1];
  _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes), beyondLanes);
  *beyond += lanes[0] + lanes[1];
#endif
  for (; i < to; ++i) {
    const double r = (xs[i] - p.x) * normal.x + (ys[i] - p.y) * normal.y;
    *on += std::fabs(r) <= tol ? 1 : 0;
    *beyond += r > tol ? 1 : 0;
  }
}

// The outer edge of one side of the symbol: from outside, each probe walks
// in to the first dark pixel. A solid side gives one straight edge; a
// timing side gives it at its dark modules and deeper points between them,
// so the line kept is the one that most points lie on with none beyond it.
bool FitSide(const DarkImage& img, Vec from, Vec to, Vec interior, double reach, double tol,
             Line* line) {
  const Vec along = to - from;
  const double length = Length(along);
  if (length < 4) return false;
  Vec out{-along.y / length, along.x / length};
  if (Dot(out, 0.5 * (from + to) - interior) < 0) out = -1.0 * out;
  constexpr int32_t kMaxProbes = 600;
  Vec points[kMaxProbes];
  // One probe per pixel of the scan image: on an enlarged view, probes
  // closer than that would read the same pixels again.
  const int32_t probes = std::clamp(static_cast<int32_t>(length / img.scale), 8, kMaxProbes);
  int32_t n = 0;
  for (int32_t i = 0; i < probes; ++i) {
    const Vec s = from + (0.04 + 0.92 * i / (probes - 1)) * along;
    if (img.Dark(s + reach * out)) continue;  // no light outside: no edge here
    for (int32_t k = 1; k <= 2 * reach; ++k) {
      if (!img.Dark(s + (reach - k) * out)) continue;
      points[n++] = s + (reach - k + 0.5) * out;
      break;
    }
  }
  if (n < 4) return false;
  // The candidate lines join points of the first and last thirds. Each is
  // scored over all points; one that can no longer beat the best so far, or
  // reach the least score a side needs, is left early (every point still to
  // come counted as on it).
  double xs[kMaxProbes], ys[kMaxProbes];
  for (int32_t i = 0; i < n; ++i) xs[i] = points[i].x, ys[i] = points[i].y;
  constexpr int32_t kChunk = 32;
  int64_t bestScore = std::max<int64_t>(n / 4, 4) - 1;
  bool fitted = false;
  Line best{};
  const int32_t tries = std::min<int32_t>(n / 3, 16);
  for (int32_t a = 0; a < tries; ++a)
    for (int32_t b = 0; b < tries; ++b) {
      const Vec p = points[a * (n / 3) / tries], q = points[n - 1 - b * (n / 3) / tries];
      const Vec d = q - p;
      const double dl = Length(d);
      if (dl < 1) continue;
      Vec normal{-d.y / dl, d.x / dl};
      if (Dot(normal, out) < 0) normal = -1.0 * normal;
      int64_t on = 0, beyond = 0;
      bool beaten = false;
      for (int32_t from = 0; from < n && !beaten; from += kChunk) {
        const int32_t to = std::min(n, from + kChunk);
        CountNearLine(xs, ys, from, to, p, normal, tol, &on, &beyond);
        beaten = on + (n - to) - 3 * beyond <= bestScore;
      }
      if (beaten) continue;
      const int64_t score = on - 3 * beyond;
      if (score > bestScore) {
        bestScore = score;
        best = Line{p, Vec{d.x / dl, d.y / dl}};
        fitted = true;
      }
    }
  if (!fitted) return false;
  uint8_t use[kMaxProbes];
  const Vec normal{-best.direction.y, best.direction.x};
  for (int32_t i = 0; i < n; ++i)
    use[i] = std::fabs(Dot(points[i] - best.point, normal)) <= tol ? 1 : 0;
  return FitLine(points, use, n, line);
}

// Unit square to the quadrilateral b (0,0), c (1,0), d (1,1), a (0,1).
struct Perspective {
  double m[8];
  bool Set(Vec b, Vec c, Vec d, Vec a) {
    const double dx3 = b.x - c.x + d.x - a.x, dy3 = b.y - c.y + d.y - a.y;
    const double dx1 = c.x - d.x, dx2 = a.x - d.x, dy1 = c.y - d.y, dy2 = a.y - d.y;
    const double den = dx1 * dy2 - dx2 * dy1;
    if (std::fabs(den) < 1e-9) return false;
    const double g = (dx3 * dy2 - dx2 * dy3) / den, h = (dx1 * dy3 - dx3 * dy1) / den;
    const double v[8] = {c.x - b.x + g * c.x, a.x - b.x + h * a.x, b.x,
                         c.y - b.y + g * c.y, a.y - b.y + h * a.y, b.y, g, h};
    std::copy(v, v + 8, m);
    return true;
  }
  Vec Map(double u, double v) const {
    const double w = m[6] * u + m[7] * v + 1;
    return Vec{(m[0] * u + m[1] * v + m[2]) / w, (m[3] * u + m[4] * v + m[5]) / w};
  }
};

// A module read at its centre and four points a quarter module around it.
struct Sampler {
  const DarkImage& img;
  Perspective map;
  int32_t rows, columns;
  double quarter;
  Vec Centre(int32_t row, int32_t column) const {
    return map.Map((column + 0.5) / columns, (rows - row - 0.5) / rows);
  }
  uint8_t Module(int32_t row, int32_t column) const {
    const Vec c = Centre(row, column);
    int votes = img.Dark(c) ? 1 : 0;
    votes += img.Dark(c + Vec{quarter, 0}) + img.Dark(c - Vec{quarter, 0});
    votes += img.Dark(c + Vec{0, quarter}) + img.Dark(c - Vec{0, quarter});
    return votes >= 3 ? 1 : 0;
  }
};

// Share of finder modules dark, and of timing modules as they alternate.
void FrameScores(const Sampler& s, double* finder, double* timing) {
  int32_t f = 0, t = 0;
  for (int32_t c = 0; c < s.columns; ++c) {
    f += s.Module(s.rows - 1, c);
    t += s.Module(0, c) == ((c % 2) == 0 ? 1 : 0);
  }
  for (int32_t r = 0; r < s.rows; ++r) {
    f += s.Module(r, 0);
    t += s.Module(r, s.columns - 1) == ((r % 2) == 1 ? 1 : 0);
  }
  *finder = static_cast<double>(f) / (s.rows + s.columns);
  *timing = static_cast<double>(t) / (s.rows + s.columns);
}

struct Frame {
  Vec a, b, c, d;
};

// Share of dark pixels along a side, just inside its edge.
double Solidity(const DarkImage& img, Vec from, Vec to, Vec centre, double inset) {
  const Vec along = to - from;
  const double length = Length(along);
  if (length < 4) return 0;
  Vec in{-along.y / length, along.x / length};
  if (Dot(in, centre - from) < 0) in = -1.0 * in;
  const int32_t samples = std::clamp(static_cast<int32_t>(length), 8, 2000);
  int32_t dark = 0;
  for (int32_t i = 0; i < samples; ++i)
    dark += img.Dark(from + (0.1 + 0.8 * i / (samples - 1)) * along + inset * in);
  return static_cast<double>(dark) / samples;
}

// How far a solid arm runs from corner k along u, probed just inside its
// edge (v points inward); gaps of up to maxGap pixels are bridged.
double WalkArm(const DarkImage& img, Vec k, Vec u, Vec v, double inset, int maxGap) {
  const double limit = 2.0 * static_cast<double>(img.width + img.height);
  double last = 0;
  int gap = 0;
  for (double t = 0; t < limit; t += 1) {
    if (img.Dark(k + t * u + inset * v)) {
      last = t;
      gap = 0;
    } else if (++gap > maxGap) {
      break;
    }
  }
  return last + 0.5;
}

// The four fitted sides and their corners. The finder's first arm (b to a)
// is solid; its second may be a timing side that the probes followed, in
// which case the L's corner is a. Both solid arms are then walked to their
// ends, and the two timing sides fitted from there.
bool TraceFrame(const DarkImage& img, Vec a, Vec b, Vec c, double scale, Frame* frame) {
  const Vec centre0 = 0.25 * (a + b + c + (a + c - b));
  const double span = std::max(Length(a - b), Length(c - b));
  const double reach = 6 * scale + 0.03 * span;
  const double tol = 0.8 * scale + 1;
  if (Length(a - b) < 4 || Length(c - b) < 4) return false;
  Line first, second;
  if (!FitSide(img, b, a, centre0, reach, tol, &first)) return false;
  const bool cornerAtB = Solidity(img, b, c, centre0, scale) >= 0.8;
  const Vec corner = cornerAtB ? b : a, far = cornerAtB ? a : b;
  if (!FitSide(img, corner, corner + (c - b), centre0, reach, tol, &second)) return false;
  Vec k;
  if (!Intersect(first, second, &k)) return false;
  Vec u1 = first.direction, u2 = second.direction;
  if (Dot(u1, far - corner) < 0) u1 = -1.0 * u1;
  if (Dot(u2, c - b) < 0) u2 = -1.0 * u2;
  const int maxGap = static_cast<int>(2 * scale);
  const Vec endA = k + WalkArm(img, k, u1, u2, scale, maxGap) * u1;
  const Vec endC = k + WalkArm(img, k, u2, u1, scale, maxGap) * u2;
  const Vec endD = endA + endC - k;
  const Vec centre = 0.25 * (endA + k + endC + endD);
  Line ad, cd;
  if (!FitSide(img, endA, endD, centre, reach, tol, &ad) ||
      !FitSide(img, endC, endD, centre, reach, tol, &cd))
    return false;
  frame->b = k;
  return Intersect(second, cd, &frame->c) && Intersect(cd, ad, &frame->d) &&
         Intersect(ad, first, &frame->a);
}

// The finder may name the wrong corner (a timing side whose probes ran on
// looks like a solid arm): the L is where the two solid sides meet. Turns
// the frame so that b is that corner; false when there is no such corner.
bool PutCornerAtL(const DarkImage& img, double inset, Frame* f) {
  const Vec corners[4] = {f->b, f->c, f->d, f->a};
  const Vec centre = 0.25 * (f->a + f->b + f->c + f->d);
  double solid[4];  // side k runs from corner k to corner k + 1
  for (int k = 0; k < 4; ++k)
    solid[k] = Solidity(img, corners[k], corners[(k + 1) % 4], centre, inset);
  int best = -1;
  double bestScore = 0;
  for (int k = 0; k < 4; ++k) {
    const double before = solid[(k + 3) % 4], after = solid[k];
    if (before < 0.8 || after < 0.8 || before + after <= bestScore) continue;
    best = k;
    bestScore = before + after;
  }
  if (best < 0) return false;
  *f = Frame{corners[(best + 3) % 4], corners[best], corners[(best + 1) % 4],
             corners[(best + 2) % 4]};
  return true;
}

// Sizes that the frame fits, best first; returns how many.
int32_t RankSizes(const DarkImage& img, const Frame& f, const DataMatrixSize** ranked,
                  Perspective* map) {
  if (!map->Set(f.b, f.c, f.d, f.a)) return 0;
  const double across = std::min(Length(f.c - f.b), Length(f.d - f.a));
  const double down = std::min(Length(f.a - f.b), Length(f.d - f.c));
  double scores[kDataMatrixSizeCount];
  int32_t n = 0;
  for (const DataMatrixSize& size : kSizes) {
    // Modules of under 1.5 pixels are beyond what the sampling resolves.
    if (across / size.columns < 1.5 || down / size.rows < 1.5) continue;
    const double quarter = 0.25 * std::min(across / size.columns, down / size.rows);
    const Sampler s{img, *map, size.rows, size.columns, quarter};
    double finder, timing;
    FrameScores(s, &finder, &timing);
    if (finder < 0.85 || timing < 0.85) continue;
    int32_t at = n++;
    for (; at > 0 && scores[at - 1] < finder + timing; --at) {
      scores[at] = scores[at - 1];
      ranked[at] = ranked[at - 1];
    }
    scores[at] = finder + timing;
    ranked[at] = &size;
  }
  return n;
}

DarkImage EnlargedView(const BinaryImage& region, int scale) {
  DarkImage img;
  img.width = static_cast<int64_t>(region.width) * scale;
  img.height = static_cast<int64_t>(region.height) * scale;
  img.scale = scale;
  img.pixels = region.pixels;
  img.stride = region.stride;
  img.channels = region.channels;
  return img;
}

// Reads one size: sampling, codewords, correction and data. 0 read, -6 not,
// 1 memory.
int32_t ReadSize(const Sampler& s, const DataMatrixSize& size, double scale, ReaderOutput* out,
                 bool* found) {
  const size_t cells = static_cast<size_t>(size.rows) * size.columns;
  Buffer<uint8_t> grid = AllocUninitializedArray<uint8_t>(cells);
  Buffer<uint8_t> codewords =
      AllocUninitializedArray<uint8_t>(static_cast<size_t>(size.dataCodewords + size.ecCodewords));
  if (!grid || !codewords) return 1;
  for (int32_t r = 0; r < size.rows; ++r)
    for (int32_t c = 0; c < size.columns; ++c)
      grid[static_cast<size_t>(r) * size.columns + c] = s.Module(r, c);
  if (!ExtractCodewords(size, grid.get(), codewords.get())) return 1;
  if (!CorrectDataMatrixBlocks(size, codewords.get())) {
    ReaderLastError() = kErrorCodewords;
    return kNoSymbol;
  }
  if (DecodeDataMatrixData(codewords.get(), size.dataCodewords, out->text, kReaderTextSize) != 0 ||
      out->text[0] == '\0') {
    ReaderLastError() = kErrorCodewords;
    return kNoSymbol;
  }
  std::strcpy(out->name, "DATAMATRIX");
  std::memcpy(out->secondText, out->text, sizeof(out->text));
  double pitch = 0;
  for (int32_t c = 1; c < size.columns; ++c) pitch += Length(s.Centre(0, c) - s.Centre(0, c - 1));
  out->moduleSize = pitch / (size.columns - 1) / scale;
  *found = true;
  return 0;
}

}  // namespace

int32_t ReadDataMatrix(const BinaryImage& region, PointD a, PointD b, PointD c,
                       ReaderOutput* output, bool* found, PointD* corners) {
  *found = false;
  if (region.pixels == nullptr || region.width == 0 || region.height == 0 ||
      region.channels == 0 || region.width > kMaxRegionSide || region.height > kMaxRegionSide ||
      static_cast<uint64_t>(region.stride) < static_cast<uint64_t>(region.width) * region.channels)
    return kNoSymbol;
  Vec va{a.x, a.y}, vb{b.x, b.y}, vc{c.x, c.y};
  for (const Vec& v : {va, vb, vc}) {
    if (!(std::fabs(v.x) < 1e7 && std::fabs(v.y) < 1e7)) return kNoSymbol;
  }
  const int scale = Length(vc - vb) < 300 ? 3 : 1;
  const DarkImage img = EnlargedView(region, scale);
  Frame frame;
  if (!TraceFrame(img, scale * va, scale * vb, scale * vc, scale, &frame)) {
    ReaderLastError() = kErrorSize;
    return kNoSymbol;
  }
  // Seen from above with rows growing downward, the bottom row's end lies
  // clockwise of the first column's end; the frame is put that way round.
  if (Cross(frame.c - frame.b, frame.a - frame.b) > 0) std::swap(frame.a, frame.c);
  if (!PutCornerAtL(img, scale, &frame)) {
    ReaderLastError() = kErrorSize;
    return kNoSymbol;
  }
  const DataMatrixSize* ranked[kDataMatrixSizeCount];
  Perspective map;
  const int32_t candidates = RankSizes(img, frame, ranked, &map);
  if (candidates == 0) {
    ReaderLastError() = kErrorSize;
    return kNoSymbol;
  }
  // A frame that fits several sizes: the first whose codewords correct.
  for (int32_t i = 0; i < std::min<int32_t>(candidates, 3); ++i) {
    const DataMatrixSize& size = *ranked[i];
    const double quarter = 0.25 * Length(frame.c - frame.b) / size.columns;
    const Sampler s{img, map, size.rows, size.columns, quarter};
    const int32_t code = ReadSize(s, size, scale, output, found);
    if (code == 1) {
      ReaderLastError() = kErrorMemory;
      return 1;
    }
    if (code == 0) {
      if (corners != nullptr) {
        corners[0] = PointD{frame.a.x / scale, frame.a.y / scale};
        corners[1] = PointD{frame.b.x / scale, frame.b.y / scale};
        corners[2] = PointD{frame.c.x / scale, frame.c.y / scale};
      }
      return 0;
    }
  }
  return kNoSymbol;
}

}  // namespace barcode
