// What zint never draws: Code 93 shift pairs without meaning and UPC-E
// parities of no table entry, on rows of runs drawn here from the published
// element widths; and a symbol framed after many others in one row.
#include "barcode/linear_readers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "barcode/scan.h"

namespace {

using barcode::RunList;

constexpr uint32_t kModule = 2;  // pixels

// Widths in modules, dark first, between quiet zones of 20 modules.
struct Row {
  std::vector<uint32_t> runs{0, 20 * kModule};
  void Add(const std::string& widths) {
    for (char w : widths) runs.push_back(static_cast<uint32_t>(w - '0') * kModule);
  }
  RunList Close() {
    runs.push_back(20 * kModule);
    return RunList{static_cast<int32_t>(runs.size()), runs.data()};
  }
};

// Code 93 element widths (bar, space, ...) of "0-9A-Z-. $/+%", the shifts
// ($) (%) (/) (+) as a-d, and the start/stop.
const char kCode93Chars[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%abcd*";
const char* const kCode93Widths[48] = {
    "131112", "111213", "111312", "111411", "121113", "121212", "121311", "111114",
    "131211", "141111", "211113", "211212", "211311", "221112", "221211", "231111",
    "112113", "112212", "112311", "122112", "132111", "111123", "111222", "111321",
    "121122", "131121", "212112", "212211", "211122", "211221", "221121", "222111",
    "112122", "112221", "122121", "123111", "121131", "311112", "311211", "321111",
    "112131", "113121", "211131", "121221", "312111", "311121", "122211", "111141"};

int Code93Value(char c) { return static_cast<int>(std::string(kCode93Chars).find(c)); }

// data in the symbol's own characters (a-d for the shifts); the two check
// characters are appended.
void Code93Symbol(const std::string& data, Row* row) {
  std::vector<int> values;
  for (char c : data) values.push_back(Code93Value(c));
  for (int weightLimit : {20, 15}) {
    int sum = 0;
    for (int k = static_cast<int>(values.size()) - 1, w = 1; k >= 0; --k, w = w % weightLimit + 1) {
      sum += values[k] * w;
    }
    values.push_back(sum % 47);
  }
  row->Add(kCode93Widths[47]);
  for (int v : values) row->Add(kCode93Widths[v]);
  row->Add(kCode93Widths[47]);
  row->Add("1");  // termination bar
}

TEST(Code93, ShiftPairsWithoutMeaningStayAsRead) {
  const struct {
    const char* data;
    const char* text;
  } cases[] = {
      {"a0", "a0"}, {"bU", "bU"},   {"bX", "\x7F"},      {"bZ", "\x7F"}, {"cP", "cP"},  // NUL: kept
      {"cY", "cY"}, {"X-d", "X-d"}, {"AdBd5C", "Abd5C"}, {"dd", "dd"},   {"ddA", "da"},
      {"d.", "d."},
  };
  for (const auto& c : cases) {
    Row row;
    Code93Symbol(c.data, &row);
    barcode::ReaderOutput out{};
    bool found = false;
    ASSERT_EQ(barcode::ReadCode93(row.Close(), &out, &found), 0);
    ASSERT_TRUE(found) << c.data;
    EXPECT_EQ(std::string(out.text), c.text) << c.data;
  }
}

// The text holds 7999 symbol characters with the two checks; a symbol of
// one more is not read.
TEST(Code93, LongestSymbolFitsTheText) {
  for (int values : {7999, 8000}) {
    Row row;
    Code93Symbol(std::string(values - 2, 'A'), &row);
    barcode::ReaderOutput out{};
    bool found = false;
    ASSERT_EQ(barcode::ReadCode93(row.Close(), &out, &found), 0);
    ASSERT_EQ(found, values == 7999);
    EXPECT_EQ(std::string(out.text).size(), found ? 7997u : 0u);
  }
}

// EAN/UPC digit widths (space, bar, space, bar): L patterns, then G.
const char* const kLeft[10] = {"3211", "2221", "2122", "1411", "1132",
                               "1231", "1114", "1312", "1213", "3112"};
const char* const kEven[10] = {"1123", "1222", "2212", "1141", "2311",
                               "1321", "4111", "2131", "3121", "2113"};

// Six UPC-E digits with their parities (G where the letter is 'G').
RunList UpcE(const std::string& digits, const std::string& parities, Row* row) {
  row->Add("111");
  for (size_t k = 0; k < 6; ++k) {
    const int d = digits[k] - '0';
    row->Add(parities[k] == 'G' ? kEven[d] : kLeft[d]);
  }
  row->Add("111111");
  return row->Close();
}

TEST(UpcE, ParitiesOfNoTableEntryLeaveTheCheckDigitToDecide) {
  const struct {
    const char* digits;
    const char* parities;
    bool found;
    const char* text;
  } cases[] = {
      // No entry: the six digits alone, the last checked as a check digit
      // (1x3 + 2 + 3x3 + 4 + 5x3 = 33, so 7).
      {"123457", "LLLLLL", true, "123457"},
      {"123458", "LLLLLL", false, ""},
      {"123457", "GGGGGG", true, "123457"},
      {"123456", "LLLLLL", false, ""},
  };
  for (const auto& c : cases) {
    Row row;
    barcode::ReaderOutput out{};
    bool found = false;
    ASSERT_EQ(barcode::ReadEanUpc(UpcE(c.digits, c.parities, &row), &out, &found), 0);
    EXPECT_EQ(found, c.found) << c.digits << " " << c.parities;
    EXPECT_EQ(std::string(out.text), c.text) << c.digits << " " << c.parities;
    EXPECT_STREQ(out.name, c.found ? "UPC_E" : "");
  }
}

// Paints runs (dark first) as bars of rows 5 to 25 from column x on; returns
// the column after them.
uint32_t Paint(const std::vector<uint32_t>& runs, uint32_t x, std::vector<uint8_t>* image,
               uint32_t width) {
  for (size_t k = 0; k < runs.size(); ++k) {
    for (uint32_t c = 0; c < runs[k]; ++c, ++x) {
      for (uint32_t y = 5; y <= 25 && k % 2 == 0; ++y) (*image)[y * width + x] = 1;
    }
  }
  return x;
}

TEST(ScanSymbols, SymbolFramedAfterTheFirst256InARowIsRead) {
  // Bar groups that no reader takes, then a Code 93 symbol. Every bar
  // is 21 rows high, so all of them are framed in row 25 and never again.
  std::vector<uint32_t> group;
  for (int bar = 0; bar < 12; ++bar) group.insert(group.end(), {bar % 2 ? 4u : 2u, 2u});
  group.pop_back();
  Row symbol;
  Code93Symbol("TEST", &symbol);
  symbol.runs.erase(symbol.runs.begin(), symbol.runs.begin() + 2);  // from the start's first bar

  for (int groups : {255, 256}) {  // the symbol is the 256th and the 257th framed
    const uint32_t width = 40 + groups * (58 + 40) + 200, height = 40;
    std::vector<uint8_t> pixels(size_t{width} * height, 0);
    uint32_t x = 40;
    for (int g = 0; g < groups; ++g) x = Paint(group, x, &pixels, width) + 40;
    Paint(symbol.runs, x, &pixels, width);

    barcode::BinaryImage image{width, width, height, 1, 8, pixels.data()};
    barcode::ScanOptions options{};
    options.linear = 1;
    options.types[barcode::kCode93] = 1;
    std::vector<barcode::SymbolResult> items(barcode::kMaxResults);
    barcode::SymbolResultList results{0, items.data()};
    ASSERT_EQ(barcode::ScanSymbols(&image, 1, &results, &options), 0) << groups;
    ASSERT_EQ(results.count, 1) << groups;
    EXPECT_STREQ(items[0].text, "TEST") << groups;
    EXPECT_GT(items[0].centreX, static_cast<int32_t>(x)) << groups;
  }
}

// A strip whose rows change colour at every pixel gives the most runs a row
// can have (one per pixel and the empty first one): nothing reads, and the
// run list holds them (the sanitizer build watches its bounds).
TEST(ReadLinearStrip, RowsOfOnePixelRuns) {
  for (uint32_t width : {1u, 2u, 63u, 64u, 65u, 200u}) {
    std::vector<uint8_t> pixels(size_t{width} * 3 * 5);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = (i / 3) % 2 ? 255 : 0;
    const barcode::BinaryImage strip{width, width * 3, 5, 3, 8, pixels.data()};
    std::unique_ptr<barcode::ReaderOutput> out(new barcode::ReaderOutput{});
    uint8_t types[16];
    std::memset(types, 1, sizeof types);
    bool found = true;
    EXPECT_EQ(barcode::ReadLinearStrip(strip, out.get(), types, &found), 0) << width;
    EXPECT_FALSE(found) << width;
  }
}

}  // namespace
