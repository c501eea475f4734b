// Han Xin symbols drawn by zint at set module sizes, turns and skews: the
// finders are confirmed, grouped and framed, and the grid sampled from the
// frame must be the symbol zint drew.
#include <gtest/gtest.h>
#include <zint.h>

#include <cmath>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "barcode/hanxin.h"
#include "barcode/scan.h"
#include "hanxin_scan.h"
#include "support/barcode_fixtures.h"

namespace {

using namespace barcode;

std::vector<HxCandidate>* sink = nullptr;
void Collect(const HxCandidate& c) { sink->push_back(c); }

struct Placed {
  double centreX, centreY, moduleSize, angleDegrees, shear;
};

struct Drawn {
  fixtures::Matrix matrix;
  Placed at;
};

void Draw(fixtures::Page* page, const fixtures::Matrix& m, const Placed& at) {
  fixtures::DrawMatrix(page, m, at.centreX, at.centreY, at.moduleSize, at.angleDegrees, 3, at.shear);
}

// Scans the page with only the Han Xin group on; the candidates framed.
// binary is the page before the scan erases what it read; texts, when
// given, receives the texts read.
std::vector<HxCandidate> Frame(const fixtures::Page& page, std::vector<uint8_t>* binary,
                               std::multiset<std::string>* texts = nullptr) {
  *binary = fixtures::Binarize(page);
  std::vector<uint8_t> scanned = *binary;
  std::vector<HxCandidate> found;
  sink = &found;
  test_hooks::ObserveHanXinCandidates(Collect);
  const hanxin_test::Scan scan = hanxin_test::ScanHanXin(&scanned, page.width, page.height);
  EXPECT_EQ(scan.code, 0);
  for (int k = 0; texts != nullptr && k < scan.list.count; ++k) texts->insert(scan.items[k].text);
  test_hooks::ObserveHanXinCandidates(nullptr);
  return found;
}

double TurnGap(double a, double b) {
  double d = std::fmod(std::fabs(a - b), 360.0);
  return std::min(d, 360.0 - d);
}

// Modules sampled differently from the drawn matrix, for the best candidate
// framed at the drawn place; -1 when no candidate fits. wiped: the top-left
// (1) and bottom-right (2) finders were wiped and are not compared.
int GridMisses(const std::vector<HxCandidate>& found, const std::vector<uint8_t>& binary,
               const fixtures::Page& page, const Drawn& d, int wiped = 0) {
  const int n = d.matrix.rows;
  int best = -1;
  for (HxCandidate c : found) {
    // A frame whose estimate missed the version is framed again with the
    // right one, as the function information would have it.
    if (2 * c.version + 21 != n && !ReframeHanXin(&c, (n - 21) / 2)) continue;
    if (std::hypot(c.centreX - d.at.centreX, c.centreY - d.at.centreY) > 2 * d.at.moduleSize)
      continue;
    if (TurnGap(c.angleDegrees, d.at.angleDegrees) > 3.0) continue;
    BinaryImage image{static_cast<uint32_t>(page.width), static_cast<uint32_t>(page.width),
                      static_cast<uint32_t>(page.height), 1, 8,
                      const_cast<uint8_t*>(binary.data())};
    std::vector<uint8_t> grid(static_cast<size_t>(n) * n);
    SampleHanXinGrid(image, c, grid.data());
    int misses = 0;
    for (int r = 0; r < n; ++r)
      for (int col = 0; col < n; ++col) {
        const bool erased = ((wiped & 1) && r < 7 && col < 7) ||
                            ((wiped & 2) && r >= n - 7 && col >= n - 7);
        if (!erased && grid[r * n + col] != d.matrix.Dark(r, col)) ++misses;
      }
    if (best < 0 || misses < best) best = misses;
  }
  return best;
}

struct Case {
  int version, level;
  double module, angle, shear;
};

TEST(HanXinFraming, VersionsLevelsSizesTurnsAndSkews) {
  // Versions from the smallest to the largest, the four levels, module
  // sizes 2 to 8, the four quarter turns and small turns and skews. The
  // frame comes from the finders alone, so 2-pixel modules are only drawn
  // square to the pixel grid.
  const Case cases[] = {
      {1, 1, 2, 0, 0},     {1, 4, 8, 90, 0},    {2, 2, 3, 180, 0},   {3, 3, 4, 270, 0},
      {4, 4, 3, 0, 0},     {5, 1, 5, 7, 0},     {10, 2, 4, 353, 0},  {14, 3, 3, 90, 0.02},
      {20, 4, 3, 180, 0},  {24, 1, 6, 264, 0},  {33, 2, 3, 3, 0.03},  {70, 1, 3, 184, 0}, {40, 3, 2, 0, 0},
      {52, 4, 3, 90, 0},   {62, 1, 2, 180, 0},  {71, 2, 3, 270, 0},  {84, 3, 3, 0, 0},
      {84, 4, 3, 95, 0},  {84, 2, 2, 270, 0},
  };
  for (const Case& k : cases) {
    Drawn d{fixtures::EncodeMatrix(BARCODE_HANXIN, "HX26", {k.level, k.version}), {}};
    ASSERT_EQ(d.matrix.rows, 2 * k.version + 21) << "zint version " << k.version;
    const int side = static_cast<int>((d.matrix.rows + 10) * k.module * 1.5);
    fixtures::Page page(side, side);
    d.at = {side / 2.0, side / 2.0, k.module, k.angle, k.shear};
    Draw(&page, d.matrix, d.at);
    std::vector<uint8_t> binary;
    const std::vector<HxCandidate> found = Frame(page, &binary);
    const int misses = GridMisses(found, binary, page, d);
    EXPECT_GE(misses, 0) << "version " << k.version << " module " << k.module << " angle "
                         << k.angle << ": not framed (" << found.size() << " candidates)";
    // Straight symbols sample exactly; turned ones may lose a module or two
    // at the pixel grid, which error correction takes.
    const bool straight = std::fmod(k.angle, 90.0) == 0 && k.shear == 0;
    EXPECT_LE(misses, straight ? 0 : d.matrix.rows * d.matrix.rows / 200)
        << "version " << k.version << " angle " << k.angle;
  }
}

// Paints a symbol's finder at module (row, col) white.
void Wipe(fixtures::Page* page, const Drawn& d, int row, int col) {
  const double m = d.at.moduleSize;
  const int x0 = static_cast<int>(d.at.centreX - d.matrix.columns / 2.0 * m + col * m);
  const int y0 = static_cast<int>(d.at.centreY - d.matrix.rows / 2.0 * m + row * m);
  for (int y = 0; y < 7 * m; ++y)
    for (int x = 0; x < 7 * m; ++x) page->at(x0 + x, y0 + y) = 255;
}

TEST(HanXinFraming, SeveralSymbolsAndMissingFinders) {
  fixtures::Page page(1200, 520);
  Drawn a{fixtures::EncodeMatrix(BARCODE_HANXIN, "first", {2, 6}), {220, 260, 4, 0, 0}};
  Drawn b{fixtures::EncodeMatrix(BARCODE_HANXIN, "second", {3, 9}), {600, 260, 5, 90, 0}};
  Drawn c{fixtures::EncodeMatrix(BARCODE_HANXIN, "third", {1, 4}), {980, 260, 5, 180, 0}};
  for (const Drawn* d : {&a, &b, &c}) Draw(&page, d->matrix, d->at);
  // No top-left finder: framed from the other corners. Only the top-right
  // and bottom-left finders: framed from that diagonal.
  Wipe(&page, a, 0, 0);
  const int n = c.matrix.rows;
  // c is turned half a turn: its top-left finder is drawn bottom right.
  Wipe(&page, c, n - 7, n - 7);
  Wipe(&page, c, 0, 0);
  std::vector<uint8_t> binary;
  std::multiset<std::string> texts;
  const std::vector<HxCandidate> found = Frame(page, &binary, &texts);
  EXPECT_EQ(GridMisses(found, binary, page, a, 1), 0);
  EXPECT_EQ(GridMisses(found, binary, page, b), 0);
  EXPECT_EQ(GridMisses(found, binary, page, c, 3), 0);
  // And each is read once, c from its diagonal pair alone.
  EXPECT_EQ(texts, (std::multiset<std::string>{"first", "second", "third"}));
}

TEST(HanXinFraming, AThousandFindersEndTheScan) {
  // 256 small symbols give 1024 finders: the list's 1000th ends the row
  // stage with code 1, the scan with it.
  const fixtures::Matrix m = fixtures::EncodeMatrix(BARCODE_HANXIN, "1", {1, 1});
  fixtures::Page page(16 * 58, 16 * 58);
  for (int r = 0; r < 16; ++r)
    for (int c = 0; c < 16; ++c)
      Draw(&page, m, {c * 58 + 29.0, r * 58 + 29.0, 2, 0, 0});
  std::vector<uint8_t> binary = fixtures::Binarize(page);
  BinaryImage image{static_cast<uint32_t>(page.width), static_cast<uint32_t>(page.width),
                    static_cast<uint32_t>(page.height), 1, 8, binary.data()};
  std::unique_ptr<SymbolResult[]> items(new SymbolResult[kMaxResults]());
  SymbolResultList list{0, items.get()};
  ScanOptions options{};
  options.hanXin = 1;
  EXPECT_EQ(ScanSymbols(&image, 1, &list, &options), 1);
  EXPECT_EQ(list.count, 0);
  // Half the page: 512 finders of 128 symbols; each framed symbol is read,
  // until the 100th fills the result list and ends the stage.
  fixtures::Page half(16 * 58, 8 * 58);
  for (int r = 0; r < 8; ++r)
    for (int c = 0; c < 16; ++c)
      Draw(&half, m, {c * 58 + 29.0, r * 58 + 29.0, 2, 0, 0});
  std::vector<uint8_t> halfBinary;
  const std::vector<HxCandidate> found = Frame(half, &halfBinary);
  std::set<std::pair<int, int>> centres;
  for (const HxCandidate& c : found)
    if (c.version == 1) centres.insert({static_cast<int>(c.centreX) / 58, static_cast<int>(c.centreY) / 58});
  EXPECT_EQ(centres.size(), static_cast<size_t>(kMaxResults));
}

TEST(HanXinFraming, FinderOrientationByCorner) {
  // One symbol turned by 30 degrees: every corner's finder is confirmed with
  // the axis plus its corner's quarter turns.
  Drawn d{fixtures::EncodeMatrix(BARCODE_HANXIN, "corner", {1, 3}), {}};
  fixtures::Page page(400, 400);
  d.at = {200, 200, 6, 30, 0};
  Draw(&page, d.matrix, d.at);
  std::vector<uint8_t> binary = fixtures::Binarize(page);
  const int n = d.matrix.rows;
  const double a = 30 * M_PI / 180;
  const HxRole roles[4] = {HxRole::kTopLeft, HxRole::kTopRight, HxRole::kBottomLeft,
                           HxRole::kBottomRight};
  BinaryImage image{400, 400, 400, 1, 8, binary.data()};
  for (HxRole role : roles) {
    double u, v;
    HxBlockCentre(role, n, &u, &v);
    u -= n / 2.0, v -= n / 2.0;
    const double x = 200 + 6 * (u * std::cos(a) - v * std::sin(a));
    const double y = 200 + 6 * (u * std::sin(a) + v * std::cos(a));
    FinderPoint f{};
    // A row run through the block centre starts the confirmation.
    int32_t left = static_cast<int32_t>(x), right = left;
    const int32_t row = static_cast<int32_t>(y);
    while (binary[row * 400 + left - 1]) --left;
    while (binary[row * 400 + right + 1]) ++right;
    ASSERT_TRUE(ConfirmHanXinFinder(image, left, right - left + 1, row, &f))
        << static_cast<int>(role);
    EXPECT_NEAR(f.x, x, 3.0);
    EXPECT_NEAR(f.y, y, 3.0);
    EXPECT_NEAR(f.size, 3 * 6, 3.0);
    double want = std::fmod(a + HxRoleTurn(role), 2 * M_PI);
    double gap = std::fabs(f.orientation - want);
    EXPECT_LT(std::min(gap, 2 * M_PI - gap), 0.06) << static_cast<int>(role);
  }
}

}  // namespace
