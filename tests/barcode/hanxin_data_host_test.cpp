// Han Xin mode data: every value of each character mode, checked against
// GB 18030 through iconv; range ends on both sides; segments cut short.
#include <gtest/gtest.h>
#include <iconv.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "barcode/error_trail.h"
#include "barcode/hanxin.h"

namespace {

using barcode::DecodeHanXinData;

struct Stream {
  std::vector<uint8_t> bytes;
  int64_t bits = 0;
  Stream& Put(uint32_t v, int n) {
    for (int i = n - 1; i >= 0; --i, ++bits) {
      if (bits % 8 == 0) bytes.push_back(0);
      if ((v >> i) & 1) bytes.back() |= static_cast<uint8_t>(0x80 >> (bits % 8));
    }
    return *this;
  }
};

// Decoded bytes, or "!" when refused.
std::string Decode(const Stream& s) {
  char out[8000];
  int32_t length = -1;
  const int32_t code = DecodeHanXinData(s.bytes.data(), static_cast<int32_t>(s.bytes.size()), out,
                                        sizeof out, &length);
  if (code != 0) {
    EXPECT_EQ(code, -3);
    EXPECT_EQ(out[0], '\0');
    return "!";
  }
  return std::string(out, static_cast<size_t>(length));
}

// UTF-8 of one GB 18030 character, empty when it is not one.
std::string Utf8(const std::string& gb) {
  iconv_t cd = iconv_open("UTF-8", "GB18030");
  std::string in = gb, out(16, '\0');
  char* ip = in.data();
  char* op = out.data();
  size_t il = in.size(), ol = out.size();
  const size_t rc = iconv(cd, &ip, &il, &op, &ol);
  iconv_close(cd);
  if (rc == static_cast<size_t>(-1) || il != 0) return "";
  out.resize(out.size() - ol);
  return out;
}

struct CharMode {
  const char* name;
  uint32_t indicator;
  int width;
  uint32_t count;  // values that are characters
  uint32_t end;    // the mode's end value (0: one character per indicator)
  const char* firstUtf8;
};

TEST(HanXinData, EveryValueOfTheCharacterModes) {
  const CharMode modes[] = {
      {"region 1", 4, 12, 0xEB0 + 3 * 94 + 32, 0xFFF, "\xE5\x95\x8A"},  // U+554A
      {"region 2", 5, 12, 32 * 94, 0xFFF, "\xE4\xBA\x8D"},             // U+4E8D
      {"double-byte", 6, 15, 126 * 190, 0x7FFF, "\xE4\xB8\x82"},       // U+4E02
      {"four-byte", 7, 21, 126 * 12600, 0, "\xC2\x80"},                // U+0080
  };
  for (const CharMode& m : modes) {
    std::set<std::string> seen;
    // Every value of the small modes; every 97th four-byte value and its ends.
    const uint32_t stride = m.indicator == 7 ? 97 : 1;
    for (uint32_t v = 0;; v = std::min(v + stride, m.count - 1)) {
      Stream s;
      s.Put(m.indicator, 4).Put(v, m.width);
      if (m.end) s.Put(m.end, m.width);
      const std::string gb = Decode(s);
      ASSERT_EQ(gb.size(), m.indicator == 7 ? 4u : 2u) << m.name << " value " << v;
      if (v == 0) {
        EXPECT_EQ(Utf8(gb), m.firstUtf8) << m.name;
      }
      // The byte ranges of a GB 18030 character; iconv takes the four-byte
      // ones outside Unicode's planes as unassigned, so they are not asked.
      if (m.indicator != 7 || v < 39420) {
        EXPECT_NE(Utf8(gb), "") << m.name << " value " << v;
      }
      EXPECT_TRUE(seen.insert(gb).second) << m.name << " value " << v;
      if (v == m.count - 1) break;
    }
    // The first value past the characters is refused.
    if (m.count < (1u << m.width) - 2) {
      Stream s;
      s.Put(m.indicator, 4).Put(m.count, m.width);
      if (m.end) s.Put(m.end, m.width);
      EXPECT_EQ(Decode(s), "!") << m.name;
    }
  }
}

TEST(HanXinData, RegionsSwapAndTextSetsCoverAscii) {
  Stream r;
  r.Put(4, 4).Put(0, 12).Put(0xFFE, 12).Put(0, 12).Put(0xFFE, 12).Put(0xEB0, 12).Put(0xFFF, 12);
  EXPECT_EQ(Decode(r), "\xB0\xA1\xD8\xA1\xA1\xA1");
  // The two text sets together hold ASCII but for the four separators
  // 1C-1F, each once.
  std::set<int> chars;
  for (int set = 0; set < 2; ++set)
    for (uint32_t v = 0; v < 62; ++v) {
      Stream s;
      s.Put(2, 4);
      if (set == 1) s.Put(62, 6);
      s.Put(v, 6).Put(63, 6);
      const std::string got = Decode(s);
      ASSERT_EQ(got.size(), 1u);
      EXPECT_TRUE(chars.insert(static_cast<uint8_t>(got[0])).second) << set << " " << v;
    }
  EXPECT_EQ(chars.size(), 124u);
  for (int c = 0x1C; c <= 0x1F; ++c) EXPECT_EQ(chars.count(c), 0u);
  EXPECT_EQ(*chars.rbegin(), 0x7F);
}

TEST(HanXinData, NumericBinaryAndEnds) {
  struct Row {
    std::vector<std::pair<uint32_t, int>> fields;
    std::string want;
  };
  const Row rows[] = {
      {{{1, 4}, {7, 10}, {1021, 10}}, "7"},
      {{{1, 4}, {7, 10}, {1022, 10}}, "07"},
      {{{1, 4}, {7, 10}, {1023, 10}}, "007"},
      {{{1, 4}, {123, 10}, {45, 10}, {1022, 10}}, "12345"},
      {{{1, 4}, {10, 10}, {1021, 10}}, "!"},   // two digits in a one-digit group
      {{{1, 4}, {1000, 10}, {1023, 10}}, "!"}, // not a group of three digits
      {{{1, 4}, {1023, 10}}, "!"},             // end with no group
      {{{3, 4}, {3, 13}, {'a', 8}, {0, 8}, {0xFF, 8}}, std::string("a\0\xFF", 3)},
      {{{3, 4}, {4, 13}, {'a', 8}, {'b', 8}, {'c', 8}}, "!"},  // count past the data
      {{{2, 4}, {10, 6}, {63, 6}, {0, 4}, {9, 4}}, "A"},        // 0000 ends the data
      {{{8, 4}, {0, 8}}, "!"},                                   // no such mode here
      {{{7, 4}, {0, 20}}, "!"},                                  // four-byte cut short
      {{{6, 4}, {0, 15}}, "!"},                                  // no end value
      {{{4, 4}, {0, 12}}, "!"},
  };
  for (const Row& row : rows) {
    Stream s;
    for (auto [v, n] : row.fields) s.Put(v, n);
    const std::string got = Decode(s);
    EXPECT_EQ(got, row.want) << row.fields[0].first << " " << row.fields[1].first;
  }
  // Fewer than four bits left end the data quietly.
  Stream tail;
  tail.Put(2, 4).Put(36, 6).Put(37, 6).Put(63, 6).Put(3, 2);
  EXPECT_EQ(Decode(tail), "ab");
}

}  // namespace

namespace {

// Function information with its four check symbols: GF(16), x^4 + x + 1,
// generator roots alpha^1 .. alpha^4.
std::vector<uint8_t> FunctionInfo(int version, int level, int mask) {
  int exp[30], log[16];
  for (int i = 0, e = 1; i < 15; ++i, e = (e << 1) ^ ((e & 8) ? 0x13 : 0)) exp[i] = exp[i + 15] = e, log[e] = i;
  auto mul = [&](int a, int b) { return a && b ? exp[log[a] + log[b]] : 0; };
  int gen[5] = {1, 0, 0, 0, 0};
  for (int r = 1; r <= 4; ++r)
    for (int k = r; k >= 1; --k) gen[k] ^= mul(gen[k - 1], exp[r]);
  const int v = version + 20;
  std::vector<uint8_t> sym = {static_cast<uint8_t>(v >> 4), static_cast<uint8_t>(v & 15),
                              static_cast<uint8_t>(level * 4 + mask), 0, 0, 0, 0};
  std::vector<int> rem(sym.begin(), sym.end());
  for (int i = 0; i < 3; ++i)
    if (int c = rem[i])
      for (int k = 0; k <= 4; ++k) rem[i + k] ^= mul(gen[k], c);
  for (int k = 3; k < 7; ++k) sym[k] = static_cast<uint8_t>(rem[k]);
  return sym;
}

TEST(HanXinFunctionInfo, EitherCopyEveryVersionLevelAndMask) {
  for (int version = 1; version <= 84; ++version)
    for (int level = 0; level < 4; ++level)
      for (int mask = 0; mask < 4; ++mask) {
        const std::vector<uint8_t> good = FunctionInfo(version, level, mask);
        std::vector<uint8_t> twoErrors = good, threeErrors = good;
        twoErrors[(version + 1) % 7] ^= 5, twoErrors[(version + 4) % 7] ^= 9;
        for (int k = 0; k < 3; ++k) threeErrors[(version + 2 * k) % 7] ^= 1 + k;
        int v = 0, l = -1, m = -1;
        // Two symbol errors are mended in the first copy; with three the
        // second copy is read.
        ASSERT_EQ(barcode::DecodeHanXinFunctionInfo(twoErrors.data(), threeErrors.data(), &v, &l, &m), 0);
        EXPECT_EQ(v * 16 + l * 4 + m, version * 16 + level * 4 + mask);
        v = 0;
        ASSERT_EQ(barcode::DecodeHanXinFunctionInfo(threeErrors.data(), good.data(), &v, &l, &m), 0);
        EXPECT_EQ(v * 16 + l * 4 + m, version * 16 + level * 4 + mask);
      }
  int v = 0, l = 0, m = 0;
  const std::vector<uint8_t> beyond = FunctionInfo(85, 0, 0), zero = FunctionInfo(0, 0, 0);
  EXPECT_EQ(barcode::DecodeHanXinFunctionInfo(beyond.data(), beyond.data(), &v, &l, &m), -6);
  EXPECT_EQ(barcode::ReaderLastError(), -40104313);
  EXPECT_EQ(barcode::DecodeHanXinFunctionInfo(zero.data(), zero.data(), &v, &l, &m), -6);
  std::vector<uint8_t> bad = FunctionInfo(30, 1, 2);
  for (int k = 0; k < 3; ++k) bad[k * 2] ^= 7;
  EXPECT_EQ(barcode::DecodeHanXinFunctionInfo(bad.data(), bad.data(), &v, &l, &m), -6);
}

}  // namespace
