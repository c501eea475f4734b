// ReadPdf417: the codewords between a start line and a stop line. Scan lines
// run from the start line across to the stop line, one per pixel along the
// start line; each line is cut into runs and read codeword by codeword from
// its start pattern on. The row indicators settle the symbol's rows, columns
// and level by vote; each codeword cell takes the value most lines saw.
#include <cmath>
#include <cstring>
#include <initializer_list>

#include "barcode/alloc.h"
#include "barcode/error_trail.h"
#include "barcode/pdf417.h"
#include "barcode/scan.h"

namespace barcode {

namespace {

constexpr int32_t kMaxLinePositions = 34;  // 30 columns, two indicators, slack
constexpr int32_t kMaxLines = 4096;
constexpr int32_t kIndicatorLines = 60;
constexpr int32_t kCandidates = 3;  // values kept per codeword cell
constexpr int kMaxTurns = 5;        // re-reads along lines turned to the rows
const int32_t kStartPattern[8] = {8, 1, 1, 1, 1, 1, 1, 3};
const int32_t kStopPattern[9] = {7, 1, 1, 3, 1, 1, 1, 2, 1};

constexpr int32_t kErrMemory = -10106301;
constexpr int32_t kErrMemoryCells = -10106307;
constexpr int32_t kErrNoModule = -40106303;
constexpr int32_t kErrNoFit = -40106305;
constexpr int32_t kErrOutside = -40106501;
constexpr int32_t kErrBroken = -40106503;
constexpr int32_t kErrTooMany = -40106401;

struct Vec {
  double x, y;
};

struct Pixels {
  const BinaryImage& img;
  bool Dark(int64_t x, int64_t y) const {
    if (x < 0 || y < 0 || x >= img.width || y >= img.height) return false;
    const uint8_t v =
        img.pixels[static_cast<size_t>(y) * img.stride + static_cast<size_t>(x) * img.channels];
    return img.channels == 1 ? v != 0 : v < 129;
  }
};

// Runs (dark first, 0 when the line starts light) of the pixels from p along
// unit direction u for length steps.
int32_t SampleRuns(const Pixels& px, Vec p, Vec u, int32_t length, uint32_t* runs) {
  int32_t count = 0;
  bool dark = true;
  runs[0] = 0;
  for (int32_t k = 0; k < length; ++k) {
    const bool d = px.Dark(static_cast<int64_t>(std::floor(p.x + k * u.x + 0.5)),
                           static_cast<int64_t>(std::floor(p.y + k * u.y + 0.5)));
    if (d != dark) {
      ++count;
      runs[count] = 0;
      dark = d;
    }
    ++runs[count];
  }
  return count + 1;
}

// The codeword of 8 runs taken as 17 modules, or -1; its cluster in *cluster.
int32_t ReadCodeword(const uint32_t* r, int* cluster) {
  uint32_t total = 0;
  for (int i = 0; i < 8; ++i) total += r[i];
  if (total < 17) return -1;
  // Module edges rounded from the run edges (errors do not add up), then
  // widths rounded each on their own as a second try.
  for (int attempt = 0; attempt < 2; ++attempt) {
    int widths[8];
    if (attempt == 0) {
      uint32_t cum = 0;
      int before = 0;
      for (int i = 0; i < 8; ++i) {
        cum += r[i];
        const int edge = static_cast<int>((cum * 34 + total) / (2 * total));
        widths[i] = edge - before;
        before = edge;
      }
    } else {
      int sum = 0;
      for (int i = 0; i < 8; ++i) {
        widths[i] = static_cast<int>((r[i] * 34 + total) / (2 * total));
        if (widths[i] < 1) widths[i] = 1;
        sum += widths[i];
      }
      if (sum != 17) continue;
    }
    uint32_t bits = 0;
    bool ok = true;
    for (int i = 0; i < 8 && ok; ++i) {
      ok = widths[i] >= 1 && widths[i] <= 6;
      for (int k = 0; k < widths[i]; ++k) bits = (bits << 1) | (i % 2 == 0 ? 1u : 0u);
    }
    if (!ok) continue;
    const int32_t value = Pdf417Lookup(bits, cluster);
    if (value >= 0) return value;
  }
  return -1;
}

// What one scan line read: the codeword and its cluster per position.
struct Line {
  int32_t positions;      // codewords read (or skipped) before the stop
  int32_t stopPosition;   // position of the stop pattern, -1 when not seen
  int32_t values[kMaxLinePositions];    // -1: not read
  int32_t clusters[kMaxLinePositions];  // -1 with the value
  int32_t rows[kMaxLinePositions];      // symbol row per position, -1: unknown
};

void ReadLine(const uint32_t* runs, int32_t count, Line* line) {
  line->positions = 0;
  line->stopPosition = -1;
  int32_t start = -1;
  for (int32_t i = 0; i + 8 <= count && i <= 12 && start < 0; i += 2)
    if (PatternVariance(runs + i, 8, kStartPattern, 17, 512) < 800) start = i;
  if (start < 0) return;
  uint32_t startWidth = 0;
  for (int i = 0; i < 8; ++i) startWidth += runs[start + i];
  for (int32_t j = start + 8; j + 8 <= count && line->positions < kMaxLinePositions; j += 8) {
    uint32_t w = 0;
    for (int i = 0; i < 8; ++i) w += runs[j + i];
    int cluster = -1;
    const int32_t value = ReadCodeword(runs + j, &cluster);
    if (value < 0 && j + 9 <= count && PatternVariance(runs + j, 9, kStopPattern, 18, 512) < 800) {
      line->stopPosition = line->positions;
      break;
    }
    // A codeword far from 17 modules wide means the runs lost step.
    if (w * 10 < startWidth * 7 || w * 10 > startWidth * 13) break;
    line->clusters[line->positions] = value < 0 ? -1 : cluster;
    line->values[line->positions++] = value;
  }
  // A codeword whose cluster neither read neighbour shares is a misread:
  // a line that drifts into the next row changes cluster for good.
  int32_t read[kMaxLinePositions], n = 0;
  for (int32_t p = 0; p < line->positions; ++p)
    if (line->values[p] >= 0) read[n++] = p;
  bool keep[kMaxLinePositions] = {};
  for (int32_t k = 0; k < n; ++k) {
    const int32_t c = line->clusters[read[k]];
    keep[k] = (k > 0 && line->clusters[read[k - 1]] == c) ||
              (k + 1 < n && line->clusters[read[k + 1]] == c);
  }
  for (int32_t k = 0; k < n; ++k)
    if (!keep[k]) line->values[read[k]] = line->clusters[read[k]] = -1;
}

// The right indicator's position once the columns are known, or -1.
int32_t RightIndicator(const Line& line, int32_t columns) {
  if (columns > 0 && columns + 1 < line.positions && line.values[columns + 1] >= 0)
    return columns + 1;
  if (line.stopPosition > 0 && line.values[line.stopPosition - 1] >= 0)
    return line.stopPosition - 1;
  return -1;
}

// The symbol row of every position: 3 (indicator / 30) + cluster at an
// indicator, then one row up or down wherever the cluster steps on along
// the line (a line a little off the rows' slope crosses them).
void LineRows(Line* line, int32_t columns) {
  for (int32_t p = 0; p < line->positions; ++p) line->rows[p] = -1;
  int32_t anchor = line->positions > 0 && line->values[0] >= 0 ? 0 : RightIndicator(*line, columns);
  if (anchor < 0) return;
  const int32_t step = anchor == 0 ? 1 : -1;
  int32_t row = 3 * (line->values[anchor] / 30) + line->clusters[anchor];
  int32_t cluster = line->clusters[anchor];
  for (int32_t p = anchor; p >= 0 && p < line->positions; p += step) {
    if (line->values[p] >= 0 && line->clusters[p] != cluster) {
      // Rows run with the clusters: one on is the row below, one back above.
      row += (line->clusters[p] - cluster + 3) % 3 == 1 ? 1 : -1;
      cluster = line->clusters[p];
    }
    line->rows[p] = row;
  }
}

// Rows gained per codeword along the lines, counted towards the rows of
// the later lines (rows further down the start line): the mean over lines of
// the row change between their first and last codeword read. Lines that
// cross a row edge read less than those inside a row, so this falls short
// of the true slope and the turn is repeated.
double RowDrift(const Line* lines, int32_t count) {
  double sum = 0, n = 0, early = 0, late = 0, earlyN = 0, lateN = 0;
  for (int32_t l = 0; l < count; ++l) {
    const Line& line = lines[l];
    int32_t first = -1, last = -1;
    for (int32_t p = 0; p < line.positions; ++p)
      if (line.values[p] >= 0 && line.rows[p] >= 0) {
        if (first < 0) first = p;
        last = p;
      }
    if (first < 0) continue;
    // The left indicator, beside the start line, tells which way rows run.
    if (first == 0) {
      (2 * l < count ? early : late) += line.rows[0];
      (2 * l < count ? earlyN : lateN) += 1;
    }
    if (last - first < 2) continue;
    sum += static_cast<double>(line.rows[last] - line.rows[first]) / (last - first);
    n += 1;
  }
  if (n == 0 || earlyN == 0 || lateN == 0) return 0;
  return late / lateN >= early / earlyN ? sum / n : -sum / n;
}

// The most frequent value 0-29 (the lowest on ties), or -1 with no votes.
int32_t Vote(const int32_t* counts) {
  int32_t best = -1;
  for (int32_t v = 0; v < 30; ++v)
    if (counts[v] > 0 && (best < 0 || counts[v] > counts[best])) best = v;
  return best;
}

int32_t Fail(int32_t error, int32_t code) {
  ReaderLastError() = error;
  return code;
}

double Length(Vec v) { return std::sqrt(v.x * v.x + v.y * v.y); }

}  // namespace

int32_t ReadPdf417(const BinaryImage& image, const Pdf417Segment& start, const Pdf417Segment& stop,
                   ReaderOutput* output, int flag, double yScale) {
  output->text[0] = '\0';
  if (image.pixels == nullptr || image.width == 0 || image.height == 0) return kPdfNoSymbol;
  const Pixels px{image};
  const Vec a1{start.x1, start.y1}, a2{start.x2, start.y2};
  const Vec b1{stop.x1, stop.y1}, b2{stop.x2, stop.y2};
  const double startLength = Length({a2.x - a1.x, a2.y - a1.y});
  const double stopLength = Length({b2.x - b1.x, b2.y - b1.y});
  if (startLength < 1 || stopLength < 1) return kPdfNoSymbol;
  const Vec u{(a2.x - a1.x) / startLength, (a2.y - a1.y) / startLength};
  const Vec v{(b2.x - b1.x) / stopLength, (b2.y - b1.y) / stopLength};
  // Along the symbol's rows, towards the stop line: square to the bars in
  // the symbol's own proportions, which a stretched image shears.
  Vec n{u.y, -yScale * yScale * u.x};
  const double nLength = Length(n);
  n = Vec{n.x / nLength, n.y / nLength};
  const Vec toStop{(b1.x + b2.x - a1.x - a2.x) / 2, (b1.y + b2.y - a1.y - a2.y) / 2};
  if (n.x * toStop.x + n.y * toStop.y < 0) n = Vec{-n.x, -n.y};
  // Two whole lines of one length: their midpoints lie on one row, and the
  // slope between them over the symbol's width is surer than the square to
  // a short start line, whose fit may be a degree or two off.
  const double toStopLength = Length(toStop);
  if (flag == 0 && std::fabs(startLength - stopLength) <= 0.05 * startLength + 2 &&
      toStopLength > startLength / 2 && n.x * toStop.x + n.y * toStop.y > 0.98 * toStopLength)
    n = Vec{toStop.x / toStopLength, toStop.y / toStopLength};
  double cross = n.x * v.y - n.y * v.x;
  if (std::fabs(cross) < 0.5) return kPdfNoSymbol;
  // Distance from a point of the start line along n to the stop line.
  auto across = [&](Vec p) { return ((b1.x - p.x) * v.y - (b1.y - p.y) * v.x) / cross; };

  const int64_t maxRun = static_cast<int64_t>(image.width) + image.height + 64;
  Buffer<uint32_t> runs = AllocArray<uint32_t>(static_cast<size_t>(maxRun) + 1);
  if (!runs) return Fail(kErrMemory, 1);

  // Module width from the start pattern on the middle line.
  auto sample = [&](double t, int32_t* count) {
    const Vec p{a1.x + t * u.x, a1.y + t * u.y};
    const double s = across(p);
    if (s < 17 || s > static_cast<double>(maxRun)) return false;
    const int32_t margin = 12;
    const int32_t length =
        static_cast<int32_t>(std::fmin(s + s / 4 + 2 * margin, static_cast<double>(maxRun)));
    *count = SampleRuns(px, Vec{p.x - margin * n.x, p.y - margin * n.y}, n, length, runs.get());
    return true;
  };
  int32_t count = 0;
  double module = 0;
  if (sample(startLength / 2, &count)) {
    for (int32_t i = 0; i + 8 <= count && i <= 12 && module == 0; i += 2) {
      if (PatternVariance(runs.get() + i, 8, kStartPattern, 17, 512) >= 800) continue;
      uint32_t w = 0;
      for (int k = 0; k < 8; ++k) w += runs[i + k];
      module = w / 17.0;
    }
  }
  if (module < 1.0) return Fail(kErrNoModule, kPdfNoSymbol);

  // Symbol width in modules from the two distances between the lines.
  const int64_t d1 = std::llround(across(a1) / module), d2 = std::llround(across(a2) / module);
  int64_t width = flag == 0 ? (d1 + d2) / 2 : (d1 + d2 + 1) / 2;
  if (flag == 0) {
    width = (width + 8) / 17 * 17;
  } else {
    const int64_t r = width % 17;
    if (r < 3) width -= r;
    else if (r > 14) width += 17 - r;
  }
  for (const Vec& p : {a1, a2}) {
    const double fx = p.x + n.x * width * module, fy = p.y + n.y * width * module;
    if (width < 17 * 4 || fx < -module || fy < -module || fx > image.width + module ||
        fy > image.height + module)
      return Fail(kErrNoFit, kPdfNoSymbol);
  }

  // Every line across, one per pixel along the start line.
  const int32_t lines = static_cast<int32_t>(std::fmin(startLength, kMaxLines));
  Buffer<Line> read = AllocUninitializedArray<Line>(static_cast<size_t>(lines));
  if (!read) return Fail(kErrMemory, 1);
  int32_t counts[3][30] = {};
  int32_t voted = 0;
  for (int32_t l = 0; l < lines; ++l) {
    Line& line = read[l];
    line.positions = 0;
    line.stopPosition = -1;
    if (!sample(l + 0.5, &count)) continue;
    ReadLine(runs.get(), count, &line);
    if (voted >= kIndicatorLines) continue;
    // Indicator fields by cluster: left (rows, level, columns), right (columns, rows, level).
    static const int kLeftField[3] = {0, 1, 2}, kRightField[3] = {2, 0, 1};
    bool any = false;
    if (line.positions > 0 && line.values[0] >= 0) {
      ++counts[kLeftField[line.clusters[0]]][line.values[0] % 30];
      any = true;
    }
    const int32_t right = RightIndicator(line, 0);
    if (right > 0) {
      ++counts[kRightField[line.clusters[right]]][line.values[right] % 30];
      any = true;
    }
    voted += any ? 1 : 0;
  }
  const int32_t rowsBy3 = Vote(counts[0]), levelInfo = Vote(counts[1]), columnsLess1 = Vote(counts[2]);
  if (rowsBy3 < 0 || levelInfo < 0 || columnsLess1 < 0) return kPdfNoRows;
  const int32_t rows = rowsBy3 * 3 + levelInfo % 3 + 1, columns = columnsLess1 + 1;
  const int32_t level = levelInfo / 3;
  const int32_t total = rows * columns, ecc = 2 << level;
  if (rows < 3 || level > 8 || total > 928 || ecc >= total) return kPdfNoRows;

  // Lines that climb or fall across the rows (a start line whose fit is a
  // little off) are turned by the mean slope they saw and read again, up
  // to five times.
  for (int32_t l = 0; l < lines; ++l) LineRows(&read[l], columns);
  for (int turns = 0; turns < kMaxTurns; ++turns) {
    const double drift = RowDrift(read.get(), lines);
    if (std::fabs(drift) * columns <= 0.1) break;
    const double turn = drift * (startLength / rows) / (17 * module);
    n = Vec{n.x - turn * u.x, n.y - turn * u.y};
    const double length = Length(n);
    n = Vec{n.x / length, n.y / length};
    cross = n.x * v.y - n.y * v.x;
    if (std::fabs(cross) < 0.5) return kPdfNoSymbol;
    for (int32_t l = 0; l < lines; ++l) {
      read[l].positions = 0;
      read[l].stopPosition = -1;
      if (sample(l + 0.5, &count)) ReadLine(runs.get(), count, &read[l]);
      LineRows(&read[l], columns);
    }
  }

  // Each cell takes the value most lines read there.
  struct Cell {
    int32_t value[kCandidates];
    int32_t count[kCandidates];
  };
  Buffer<Cell> cells = AllocArray<Cell>(static_cast<size_t>(total));
  Buffer<int32_t> codewords = AllocArray<int32_t>(static_cast<size_t>(total));
  if (!cells || !codewords) return Fail(kErrMemoryCells, 1);
  bool anyRow = false;
  for (int32_t l = 0; l < lines; ++l) {
    const Line& line = read[l];
    for (int32_t c = 0; c < columns && c + 1 < line.positions; ++c) {
      const int32_t value = line.values[c + 1], row = line.rows[c + 1];
      if (value < 0 || row < 0 || row >= rows) continue;
      anyRow = true;
      Cell& cell = cells[row * columns + c];
      int k = 0;
      while (k < kCandidates && cell.count[k] > 0 && cell.value[k] != value) ++k;
      if (k == kCandidates) continue;
      cell.value[k] = value;
      ++cell.count[k];
    }
  }
  if (!anyRow) return kPdfNoRows;
  for (int32_t i = 0; i < total; ++i) {
    int best = 0;
    for (int k = 1; k < kCandidates; ++k)
      if (cells[i].count[k] > cells[i].count[best]) best = k;
    codewords[i] = cells[i].count[best] > 0 ? cells[i].value[best] : 0;
  }

  if (CorrectPdf417(codewords.get(), total, ecc) < 0) return Fail(kErrTooMany, kPdfTooManyErrors);
  const int32_t code =
      DecodePdf417Stream(codewords.get(), total - ecc, output->text, kReaderTextSize);
  if (code == kPdfStreamOutside) return Fail(kErrOutside, code);
  if (code != 0) return Fail(kErrBroken, code);
  output->moduleSize = module;
  return 0;
}

}  // namespace barcode
