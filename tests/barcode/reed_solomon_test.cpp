// Reed-Solomon blocks made by an encoder of the test's own (bitwise field
// arithmetic, no tables), damaged and corrected.
#include "barcode/reed_solomon.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "barcode/error_trail.h"
#include "support/barcode_fixtures.h"

namespace {

using namespace barcode;

struct Params {
  const char* name;
  int bits;
  int polynomial;
  int b;
};
const Params kParams[] = {{"qr", 8, kPolynomialQr, 0},
                          {"datamatrix", 8, kPolynomialDataMatrix, 1},
                          {"hanxin", 8, kPolynomialHanXin, 1},
                          {"hanxin-function", 4, kPolynomialGf16, 1}};

int Mul(int a, int b, const Params& p) {
  int r = 0;
  for (; b != 0; b >>= 1, a <<= 1) {
    if (a >> p.bits) a ^= p.polynomial;
    if (b & 1) r ^= a;
  }
  return r;
}

int Alpha(int k, const Params& p) {
  int v = 1;
  for (int i = 0; i < k; ++i) v = Mul(v, 2, p);
  return v;
}

// Systematic encoding: the check codewords are data * x^ec mod g(x).
std::vector<uint8_t> Encode(const std::vector<uint8_t>& data, int ec, const Params& p) {
  std::vector<int> g{1};  // highest power first
  for (int i = 0; i < ec; ++i) {
    const int root = Alpha(p.b + i, p);
    std::vector<int> next(g.size() + 1, 0);
    for (size_t k = 0; k < g.size(); ++k) {
      next[k] ^= g[k];
      next[k + 1] ^= Mul(g[k], root, p);
    }
    g = next;
  }
  std::vector<int> rem(ec, 0);
  for (uint8_t d : data) {
    const int lead = d ^ rem[0];
    for (int k = 0; k + 1 < ec; ++k) rem[k] = rem[k + 1] ^ Mul(lead, g[k + 1], p);
    rem[ec - 1] = Mul(lead, g[ec], p);
  }
  std::vector<uint8_t> block = data;
  for (int r : rem) block.push_back(static_cast<uint8_t>(r));
  return block;
}

// Random distinct positions with random non-zero changes.
void Damage(std::vector<uint8_t>* block, int errors, const Params& p, fixtures::Rng* rng) {
  std::vector<bool> hit(block->size(), false);
  for (int e = 0; e < errors;) {
    const int pos = rng->Uniform(0, static_cast<int>(block->size()) - 1);
    if (hit[pos]) continue;
    hit[pos] = true;
    (*block)[pos] ^= static_cast<uint8_t>(rng->Uniform(1, (1 << p.bits) - 1));
    ++e;
  }
}

TEST(CorrectCodewords, UpToHalfTheChecksCorrectedOneMoreNeverMendedWrongly) {
  fixtures::Rng rng(20);
  for (const Params& p : kParams) {
    const int maxN = (1 << p.bits) - 1;
    for (int trial = 0; trial < 150; ++trial) {
      const int n = trial == 0 ? maxN : rng.Uniform(3, maxN);
      const int ec = rng.Uniform(2, std::min(n - 1, 68));
      std::vector<uint8_t> data(n - ec);
      for (uint8_t& d : data) d = static_cast<uint8_t>(rng.Uniform(0, (1 << p.bits) - 1));
      const std::vector<uint8_t> clean = Encode(data, ec, p);
      const int t = ec / 2;
      for (int errors : {0, rng.Uniform(1, t), t, t + 1}) {
        if (errors > n) continue;
        std::vector<uint8_t> block = clean;
        Damage(&block, errors, p, &rng);
        ReaderLastError() = 0;
        const int32_t rc = CorrectCodewords(block.data(), n - ec, ec, p.b, p.polynomial);
        SCOPED_TRACE(testing::Message()
                     << p.name << " n=" << n << " ec=" << ec << " errors=" << errors);
        if (errors <= t) {
          ASSERT_EQ(rc, 0);
          ASSERT_EQ(block, clean);
        } else if (rc == 0) {
          // Only a valid codeword may come back; with an even number of
          // checks it cannot be the sent one.
          const std::vector<uint8_t> blockData(block.begin(), block.end() - ec);
          ASSERT_EQ(Encode(blockData, ec, p), block);
          if (ec % 2 == 0) {
            ASSERT_NE(block, clean);
          }
        } else {
          // A refusal leaves its reason.
          ASSERT_EQ(rc, kBlockUncorrectable);
          const int32_t why = ReaderLastError();
          ASSERT_TRUE(why == -40101301 || why == -40101303 || why == -40101305) << why;
        }
      }
    }
  }
}

TEST(CorrectCodewords, RefusesWhatCannotBeABlock) {
  const Params& gf16 = kParams[3];
  std::vector<uint8_t> ok = Encode({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, 4, gf16);  // n = 15
  std::vector<uint8_t> copy = ok;
  EXPECT_EQ(CorrectCodewords(copy.data(), 11, 4, 1, kPolynomialGf16), 0);
  copy.push_back(0);  // 16 codewords do not fit GF(16)
  EXPECT_EQ(CorrectCodewords(copy.data(), 12, 4, 1, kPolynomialGf16), kBlockUncorrectable);
  copy = ok;
  copy[0] = 16;  // not a 4-bit value
  EXPECT_EQ(CorrectCodewords(copy.data(), 11, 4, 1, kPolynomialGf16), kBlockUncorrectable);

  std::vector<uint8_t> big(256, 0);
  EXPECT_EQ(CorrectCodewords(big.data(), 245, 10, 0, kPolynomialQr), 0);  // 255 fits
  EXPECT_EQ(CorrectCodewords(big.data(), 246, 10, 0, kPolynomialQr), kBlockUncorrectable);
  EXPECT_EQ(CorrectCodewords(big.data(), -1, 10, 0, kPolynomialQr), kBlockUncorrectable);
  EXPECT_EQ(CorrectCodewords(big.data(), 10, -1, 0, kPolynomialQr), kBlockUncorrectable);
  EXPECT_EQ(CorrectCodewords(nullptr, 10, 4, 0, kPolynomialQr), kBlockUncorrectable);
  // x^8 + 1 is not primitive: refused instead of half-built tables.
  big[3] = 7;
  EXPECT_EQ(CorrectCodewords(big.data(), 10, 4, 0, 257), kBlockUncorrectable);
  EXPECT_EQ(ReaderLastError(), -50101307);
  // No check codewords: nothing to test, nothing changed.
  EXPECT_EQ(CorrectCodewords(big.data(), 10, 0, 0, kPolynomialQr), 0);
  EXPECT_EQ(big[3], 7);
}

}  // namespace
