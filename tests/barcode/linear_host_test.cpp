// Linear symbols drawn by zint and read by our readers: every character of
// each symbology, each quiet-zone edge from both sides, and cluttered pages
// through the scan engine with zxing-cpp reading the same pages.
#include <gtest/gtest.h>
#include <zint.h>

#include <cmath>
#include <cstring>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "barcode/linear_readers.h"
#include "barcode/scan.h"
#include "linear_scan.h"
#include "support/barcode_fixtures.h"

namespace {

using barcode::LinearReader;
using barcode_test::ModuleRuns;
using fixtures::Page;

struct Reading {
  bool found = false;
  barcode::ReaderOutput out{};
};
Reading Read(LinearReader reader, std::vector<uint32_t> runs) {
  Reading r;
  EXPECT_EQ(reader({static_cast<int32_t>(runs.size()), runs.data()}, &r.out, &r.found), 0);
  return r;
}

std::string Ascii(int from, int to) {
  std::string s;
  for (int c = from; c <= to; ++c) s += static_cast<char>(c);
  return s;
}

std::string Pairs(int from, int to) {
  std::string s;
  for (int v = from; v <= to; ++v) s += std::to_string(v / 10) + std::to_string(v % 10);
  return s;
}

struct RoundTrip {
  int zint;
  std::string data;
  LinearReader reader;
  const char* name;
  std::string text;
  const char* second = nullptr;  // nullptr: the text, or for checked types the text and more
  bool gs1 = false;
};

const std::string kCode39Set = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%";
// Set A's control characters add nothing to the text; single digits keep
// zint in set A.
const std::string kSetA1 = Ascii(' ', '/') + "0:1;2<3=4>5?6 7 8 9", kSetA2 = Ascii('@', '_');
const std::string C1 = "\x01", C2 = "\x1f";

const RoundTrip kRoundTrips[] = {
    {BARCODE_CODE39, kCode39Set, barcode::ReadCode39, "CODE_39", kCode39Set},
    // Code 93 full ASCII through the four shifts; NUL's pair stays as read.
    {BARCODE_CODE93, Ascii(1, 31), barcode::ReadCode93, "CODE_93", Ascii(1, 31)},
    {BARCODE_CODE93, Ascii(32, 79), barcode::ReadCode93, "CODE_93", Ascii(32, 79)},
    {BARCODE_CODE93, Ascii(80, 127), barcode::ReadCode93, "CODE_93", Ascii(80, 127)},
    {BARCODE_CODE93, std::string("A\0B", 3), barcode::ReadCode93, "CODE_93", "AbUB"},
    {BARCODE_CODE93, "TEST93", barcode::ReadCode93, "CODE_93", "TEST93", "TEST93+6"},
    // Code 128: every value of sets A, B and C, and each change of set.
    {BARCODE_CODE128, C1 + kSetA1, barcode::ReadCode128, "CODE_128", kSetA1},
    {BARCODE_CODE128, C1 + kSetA2 + C2, barcode::ReadCode128, "CODE_128", kSetA2},
    {BARCODE_CODE128, Ascii(' ', 'O'), barcode::ReadCode128, "CODE_128", Ascii(' ', 'O')},
    {BARCODE_CODE128, Ascii('P', 127), barcode::ReadCode128, "CODE_128", Ascii('P', 127)},
    {BARCODE_CODE128, Pairs(0, 49), barcode::ReadCode128, "CODE_128", Pairs(0, 49)},
    {BARCODE_CODE128, Pairs(50, 99), barcode::ReadCode128, "CODE_128", Pairs(50, 99)},
    {BARCODE_CODE128, C1 + "a" + C2, barcode::ReadCode128, "CODE_128", "a"},
    {BARCODE_CODE128, C1 + C2 + "abcdef" + C1 + C2, barcode::ReadCode128, "CODE_128", "abcdef"},
    {BARCODE_CODE128, "abc" + C1 + "def", barcode::ReadCode128, "CODE_128", "abcdef"},
    {BARCODE_CODE128, "abc" + C1 + C2 + C1 + C2 + "def", barcode::ReadCode128, "CODE_128",
     "abcdef"},
    {BARCODE_CODE128, C1 + C2 + "12345678", barcode::ReadCode128, "CODE_128", "12345678"},
    {BARCODE_CODE128, "12345678" + C1 + "AB", barcode::ReadCode128, "CODE_128", "12345678AB"},
    {BARCODE_CODE128, "12345678ab", barcode::ReadCode128, "CODE_128", "12345678ab"},
    // The check character's rendering: none for 102 (FNC1), "!" for 1,
    // two digits in set C.
    {BARCODE_CODE128, "AB", barcode::ReadCode128, "CODE_128", "AB", "AB"},
    {BARCODE_CODE128, "AC", barcode::ReadCode128, "CODE_128", "AC", "AC!"},
    {BARCODE_CODE128, "1234", barcode::ReadCode128, "CODE_128", "1234", "123482"},
    // FNC1 first makes GS1-128 and, like a later one, adds nothing.
    {BARCODE_GS1_128, "[01]09501101530003", barcode::ReadCode128, "GS1_128", "0109501101530003",
     nullptr, true},
    {BARCODE_GS1_128, "[10]AB12[21]X", barcode::ReadCode128, "GS1_128", "10AB1221X", nullptr, true},
    // ITF: every digit in the bars and in the spaces.
    {BARCODE_C25INTER, "0123456789", barcode::ReadItf, "ITF", "0123456789"},
    {BARCODE_C25INTER, "1032547698", barcode::ReadItf, "ITF", "1032547698"},
    // Codabar: every character, each of A-D as start and as stop.
    {BARCODE_CODABAR, "A0123456789B", barcode::ReadCodabar, "CODABAR", "0123456789"},
    {BARCODE_CODABAR, "B-$:/.+C", barcode::ReadCodabar, "CODABAR", "-$:/.+"},
    {BARCODE_CODABAR, "C1D", barcode::ReadCodabar, "CODABAR", "1"},
    {BARCODE_CODABAR, "D-A", barcode::ReadCodabar, "CODABAR", "-"},
};

// EAN/UPC numbers in full; zint gets them without the check digit.
const struct {
  int zint;
  const char* name;
  const char* numbers;
} kNumbers[] = {
    // EAN-13, one per first digit (0: UPC-A): every digit in L, G and R.
    {BARCODE_EANX, "EAN_13",
     "0123456789012 1234567890128 2345678901234 3456789012340 4567890123456 5678901234562 "
     "6789012345678 7890123456784 8901234567890 9012345678906"},
    {BARCODE_UPCA, "UPC_A", "012345678905"},
    {BARCODE_EANX, "EAN_8", "01234565 45678905 89012345 23457898"},  // every digit left and right
    // UPC-E: both number systems with every check digit (all twenty parity
    // rows), every last digit (each expansion), every digit in L and G.
    {BARCODE_UPCE, "UPC_E",
     "00000000 00003113 00006226 01593139 06347642 04269755 03186268 05859771 00024884 02698397 "
     "11236005 11239118 14704521 19956234 10456547 19962450 14422263 11257776 19179889 12847792"},
};

// The character rows and the EAN/UPC numbers, as one table.
std::vector<RoundTrip> AllRoundTrips() {
  std::vector<RoundTrip> rows(std::begin(kRoundTrips), std::end(kRoundTrips));
  for (const auto& n : kNumbers) {
    std::istringstream numbers(n.numbers);
    for (std::string number; numbers >> number;) {
      const bool upcA = n.zint == BARCODE_EANX && number.size() == 13 && number[0] == '0';
      rows.push_back({n.zint, number.substr(0, number.size() - 1), barcode::ReadEanUpc,
                      upcA ? "UPC_A" : n.name, upcA ? number.substr(1) : number});
    }
  }
  return rows;
}

TEST(LinearRoundTrip, EveryCharacterOfEverySymbology) {
  const std::vector<RoundTrip> rows = AllRoundTrips();
  int row = 0;
  for (const RoundTrip& t : rows) {
    SCOPED_TRACE(testing::Message() << t.name << " row " << row << " '" << t.data << "'");
    const uint32_t x = 1 + row++ % 3;
    const std::vector<uint8_t> modules = fixtures::EncodeLinear(t.zint, t.data, t.gs1);
    ASSERT_FALSE(modules.empty());
    const Reading r = Read(t.reader, ModuleRuns(modules, x, 10 * x, 10 * x));
    ASSERT_TRUE(r.found);
    EXPECT_STREQ(r.out.name, t.name);
    EXPECT_EQ(r.out.text, t.text);
    const std::string second = r.out.secondText;
    if (t.second != nullptr) {
      EXPECT_EQ(second, t.second);
    } else if (t.reader == barcode::ReadCode128 || t.reader == barcode::ReadCode93) {
      EXPECT_EQ(second.substr(0, t.text.size()), t.text);
    } else {
      EXPECT_EQ(second, t.text);
    }
    EXPECT_DOUBLE_EQ(r.out.moduleSize, x);
    if (t.reader == barcode::ReadCodabar) {
      EXPECT_EQ(r.out.codabarStart, t.data.front());
      EXPECT_EQ(r.out.codabarStop, t.data.back());
    }
  }
}

// Printers spread ink: every row again at 3 pixels a module with each bar
// one pixel wider and each space one narrower, and the other way round.
TEST(LinearRoundTrip, EveryRowWithBarGainAndLoss) {
  const std::vector<RoundTrip> rows = AllRoundTrips();
  for (int gain : {1, -1}) {
    for (const RoundTrip& t : rows) {
      SCOPED_TRACE(testing::Message() << t.name << " '" << t.data << "' gain " << gain);
      std::vector<uint32_t> runs =
          ModuleRuns(fixtures::EncodeLinear(t.zint, t.data, t.gs1), 3, 30, 30);
      for (size_t k = 2; k + 1 < runs.size(); ++k) runs[k] += k % 2 == 0 ? gain : -gain;
      const Reading r = Read(t.reader, runs);
      ASSERT_TRUE(r.found);
      EXPECT_EQ(r.out.text, t.text);
    }
  }
}

// The fewest light pixels (modules of 2) that still count as quiet zone
// before the start and after the stop; one fewer fails, and a symbol at the
// row's very start needs none where `atEdge` says so.
struct Edge {
  int zint;
  const char* data;
  LinearReader reader;
  uint32_t before, after;
  bool atEdge;
};
const Edge kEdges[] = {
    {BARCODE_CODE39, "EDGE", barcode::ReadCode39, 13, 13, true},        // over half a 12-module "*"
    {BARCODE_CODABAR, "A12B", barcode::ReadCodabar, 11, 11, false},     // over half of A or B
    {BARCODE_C25INTER, "1234", barcode::ReadItf, 11, 11, true},         // over 5 narrow
    {BARCODE_CODE128, "EDGE", barcode::ReadCode128, 10, 10, true},      // 5 of the start's 11
    {BARCODE_EANX, "950110153000", barcode::ReadEanUpc, 11, 11, true},  // over 5 of the guard's 3
    {BARCODE_EANX, "9638507", barcode::ReadEanUpc, 11, 11, true},
    {BARCODE_UPCE, "0123456", barcode::ReadEanUpc, 11, 11, true},
    {BARCODE_CODE93, "EDGE", barcode::ReadCode93, 10, 9,
     false},  // over half the start, half the stop
};

TEST(LinearReaders, QuietZoneEachSideAtItsLimit) {
  for (const Edge& e : kEdges) {
    SCOPED_TRACE(e.data);
    const std::vector<uint8_t> modules = fixtures::EncodeLinear(e.zint, e.data);
    // Bars on both sides, so that the light runs are all the zone there is.
    auto framed = [&](uint32_t before, uint32_t after) {
      std::vector<uint32_t> runs{4, 20, 4};
      for (uint32_t run : ModuleRuns(modules, 2, before, after)) runs.push_back(run);
      runs.erase(runs.begin() + 3);  // the empty dark run that opened the symbol's runs
      runs.insert(runs.end(), {4, 40});
      return Read(e.reader, runs).found;
    };
    EXPECT_TRUE(framed(e.before, 40));
    EXPECT_FALSE(framed(e.before - 1, 40));
    EXPECT_TRUE(framed(40, e.after));
    EXPECT_FALSE(framed(40, e.after - 1));
    // The start at the row's first dark run, then behind an empty one.
    EXPECT_EQ(Read(e.reader, ModuleRuns(modules, 2, 0, 40)).found, e.atEdge);
    EXPECT_EQ(Read(e.reader, ModuleRuns(modules, 2, 2, 40)).found, e.atEdge);
    // A stop at the row's end needs no full zone after it.
    EXPECT_TRUE(Read(e.reader, ModuleRuns(modules, 2, 40, e.after - 1)).found);
  }
  // A Code 39 "*" with too little light after it is passed over: two
  // symbols one module apart read as one.
  std::vector<uint8_t> joined = fixtures::EncodeLinear(BARCODE_CODE39, "AB");
  joined.push_back(0);
  for (uint8_t m : fixtures::EncodeLinear(BARCODE_CODE39, "CD")) joined.push_back(m);
  EXPECT_STREQ(Read(barcode::ReadCode39, ModuleRuns(joined, 2, 24, 24)).out.text, "ABCD");
  // ITF with half a digit pair taken out is not a multiple of ten runs.
  std::vector<uint32_t> itf =
      ModuleRuns(fixtures::EncodeLinear(BARCODE_C25INTER, "123456"), 2, 20, 20);
  itf.erase(itf.begin() + 5, itf.begin() + 10);
  EXPECT_FALSE(Read(barcode::ReadItf, itf).found);
}

const char* kTypeNames[] = {"CODE_39", "ITF",     "CODE_128", "GS1_128", "CODABAR",    "UPC_A",
                            "UPC_E",   "EAN_8",   "EAN_13",   "QR_CODE", "DATAMATRIX", "PDF417",
                            "PDF417F", "CODE_93", "HXCODE",   "MAXICODE"};

double AngleDiff(double a, double b) {
  double d = std::fmod(std::fabs(a - b), 360.0);
  return d > 180 ? 360 - d : d;
}

// The engine frames each symbology at narrow widths 1-6, upright, upside
// down and skewed, between lines of text; zxing-cpp reads every page too.
TEST(LinearFixtures, EverySymbologyWidthAndAngle) {
  const struct {
    int zint;
    std::string data;
    bool gs1;
    std::string type, text;
  } symbols[] = {
      {BARCODE_CODE128, "Hello-128 World", false, "CODE_128", "Hello-128 World"},
      {BARCODE_CODE128, "00123456789012", false, "CODE_128", "00123456789012"},
      {BARCODE_GS1_128, "[01]09501101530003", true, "GS1_128", "0109501101530003"},
      {BARCODE_CODE39, "A$B/C+D%E", false, "CODE_39", "A$B/C+D%E"},
      {BARCODE_C25INTER, "12345678", false, "ITF", "12345678"},
      {BARCODE_CODABAR, "A40156B", false, "CODABAR", "40156"},
      {BARCODE_EANX, "950110153000", false, "EAN_13", "9501101530003"},
      {BARCODE_UPCA, "01234567890", false, "UPC_A", "012345678905"},
      {BARCODE_EANX, "9638507", false, "EAN_8", "96385074"},
      {BARCODE_UPCE, "0123456", false, "UPC_E", "01234565"},
      {BARCODE_CODE93, "Code 93-x", false, "CODE_93", "Code 93-x"},
  };
  int cases = 0;
  for (const auto& s : symbols) {
    const std::vector<uint8_t> modules = fixtures::EncodeLinear(s.zint, s.data, s.gs1);
    ASSERT_FALSE(modules.empty()) << s.data;
    for (int x = 1; x <= 6; ++x) {
      for (double angle : {0.0, 180.0, 3.0, -4.0}) {
        SCOPED_TRACE(testing::Message() << s.type << " x" << x << " angle " << angle);
        Page page(static_cast<int>(modules.size() + 20) * x + 200, 60 * x + 260);
        fixtures::Rng rng(++cases);
        // Text lines above and below the symbol only.
        Page text(page.width, 80);
        fixtures::DrawClutter(&text, &rng, 3, 0);
        std::memcpy(page.grey.data(), text.grey.data(), text.grey.size());
        std::memcpy(&page.grey[page.grey.size() - text.grey.size()], text.grey.data(),
                    text.grey.size());
        fixtures::DrawLinear(&page, modules,
                             {page.width / 2.0, page.height / 2.0, x, 40 * x + 30, angle});
        barcode_test::Scanner scan(page);
        barcode::ThinRunFilter(&scan.image, 0);
        EXPECT_EQ(scan.Scan(), 0);
        ASSERT_EQ(scan.list.count, 1);
        const barcode::SymbolResult& r = scan.list.items[0];
        EXPECT_EQ(kTypeNames[r.type], s.type);
        EXPECT_EQ(r.text, s.text);
        // The rectangle holds the symbol's centre and the angle its turn.
        EXPECT_NEAR(r.centreX, page.width / 2.0, 3 * x + 3);
        EXPECT_NEAR(r.centreY, page.height / 2.0, 6 * x + 6);
        EXPECT_LT(AngleDiff(r.angle, angle), 3.0);
        bool zxing = false;
        for (const auto& z : fixtures::ReadWithZxing(page))
          zxing |= z.text == s.text || z.text == "0" + s.text;
        EXPECT_TRUE(zxing);
      }
    }
  }
}

}  // namespace
