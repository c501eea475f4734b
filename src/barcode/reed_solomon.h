// Reed-Solomon correction of one block over GF(16) or GF(256), shared by the
// two-dimensional readers.
#pragma once

#include <cstdint>

namespace barcode {

constexpr int32_t kPolynomialGf16 = 19;   // x^4 + x + 1
constexpr int32_t kPolynomialQr = 285;    // x^8 + x^4 + x^3 + x^2 + 1
constexpr int32_t kPolynomialDataMatrix = 301;  // x^8 + x^5 + x^3 + x^2 + 1
constexpr int32_t kPolynomialHanXin = 355;      // x^8 + x^6 + x^5 + x + 1
constexpr int32_t kMaxBlockCodewords = 255;
constexpr int32_t kBlockUncorrectable = -5;

// Corrects codewords[0 .. dataCount + ecCount) in place: data first, then the
// error-correction codewords, the first codeword being the highest power.
// polynomial 19 selects GF(16), any other value GF(256) with that primitive
// polynomial; b is the exponent of the generator's first root. Returns 0 when
// the block is (now) a codeword, kBlockUncorrectable otherwise (the block may
// then be partly changed, and ReaderLastError says why).
int32_t CorrectCodewords(uint8_t* codewords, int32_t dataCount, int32_t ecCount, int32_t b,
                         int32_t polynomial);

}  // namespace barcode
