// PDF417 codeword streams: Reed-Solomon correction over the prime field of
// 929 elements (generator 3, check roots 3^1 ... 3^k), and the text, byte
// and numeric compaction modes.
#include <cstring>

#include "barcode/pdf417.h"

namespace barcode {

namespace {

constexpr int32_t kPrime = 929;
constexpr int32_t kMaxCodewords = 928;
constexpr int32_t kMaxEcc = 512;

struct Field {
  int32_t exp[kPrime];
  int32_t log[kPrime];
};

const Field& Gf() {
  static const Field field = [] {
    Field f{};
    int32_t v = 1;
    for (int32_t i = 0; i < kPrime - 1; ++i) {
      f.exp[i] = v;
      f.log[v] = i;
      v = v * 3 % kPrime;
    }
    f.exp[kPrime - 1] = 1;
    return f;
  }();
  return field;
}

int32_t Mul(int32_t a, int32_t b) { return a * b % kPrime; }
int32_t Sub(int32_t a, int32_t b) { return (a - b + kPrime) % kPrime; }
int32_t Inverse(int32_t a) {
  const Field& f = Gf();
  return f.exp[(kPrime - 1 - f.log[a]) % (kPrime - 1)];
}
// 3^e for any e >= 0 or negative.
int32_t Power3(int64_t e) {
  int64_t r = e % (kPrime - 1);
  if (r < 0) r += kPrime - 1;
  return Gf().exp[r];
}
// p(x) = p[0] + p[1] x + ... + p[degree] x^degree at x.
int32_t Evaluate(const int32_t* p, int32_t degree, int32_t x) {
  int32_t v = 0;
  for (int32_t i = degree; i >= 0; --i) v = (Mul(v, x) + p[i]) % kPrime;
  return v;
}

}  // namespace

int32_t CorrectPdf417(int32_t* codewords, int32_t count, int32_t eccCount) {
  if (count <= 0 || count > kMaxCodewords || eccCount < 2 || eccCount > kMaxEcc ||
      eccCount >= count)
    return -1;
  for (int32_t i = 0; i < count; ++i)
    if (codewords[i] < 0 || codewords[i] >= kPrime) codewords[i] = 0;
  // Syndromes: the stream as a polynomial, first codeword highest, at 3^j.
  int32_t s[kMaxEcc];
  bool clean = true;
  for (int32_t j = 0; j < eccCount; ++j) {
    const int32_t x = Power3(j + 1);
    int32_t v = 0;
    for (int32_t i = 0; i < count; ++i) v = (Mul(v, x) + codewords[i]) % kPrime;
    s[j] = v;
    clean = clean && v == 0;
  }
  if (clean) return 0;

  // Berlekamp-Massey: the error locator lambda.
  int32_t lambda[kMaxEcc + 1] = {1}, prev[kMaxEcc + 1] = {1}, next[kMaxEcc + 1];
  int32_t errors = 0, shift = 1, prevDiscrepancy = 1;
  for (int32_t n = 0; n < eccCount; ++n) {
    int32_t d = s[n];
    for (int32_t i = 1; i <= errors; ++i) d = (d + Mul(lambda[i], s[n - i])) % kPrime;
    if (d == 0) {
      ++shift;
      continue;
    }
    const int32_t factor = Mul(d, Inverse(prevDiscrepancy));
    std::memcpy(next, lambda, sizeof(next));
    for (int32_t i = 0; i + shift <= eccCount; ++i)
      next[i + shift] = Sub(next[i + shift], Mul(factor, prev[i]));
    if (2 * errors <= n) {
      std::memcpy(prev, lambda, sizeof(prev));
      errors = n + 1 - errors;
      prevDiscrepancy = d;
      shift = 1;
    } else {
      ++shift;
    }
    std::memcpy(lambda, next, sizeof(lambda));
  }
  if (2 * errors > eccCount) return -1;

  // Evaluator omega = S(x) lambda(x) mod x^k, and lambda's derivative.
  int32_t omega[kMaxEcc] = {};
  for (int32_t i = 0; i < eccCount; ++i)
    for (int32_t j = 0; j <= errors && j <= i; ++j)
      omega[i] = (omega[i] + Mul(s[i - j], lambda[j])) % kPrime;
  int32_t derivative[kMaxEcc + 1] = {};
  for (int32_t i = 1; i <= errors; ++i) derivative[i - 1] = Mul(lambda[i], i % kPrime);

  // Chien search over the stream's positions, Forney for each error value.
  int32_t found = 0;
  for (int32_t i = 0; i < count; ++i) {
    const int32_t inverseX = Power3(-static_cast<int64_t>(count - 1 - i));
    if (Evaluate(lambda, errors, inverseX) != 0) continue;
    const int32_t denominator = Evaluate(derivative, errors - 1, inverseX);
    if (denominator == 0) return -1;
    const int32_t value =
        Mul(Sub(0, Evaluate(omega, eccCount - 1, inverseX)), Inverse(denominator));
    codewords[i] = Sub(codewords[i], value);
    ++found;
  }
  if (found != errors) return -1;
  return found;
}

namespace {

constexpr int32_t kTextLatch = 900;
constexpr int32_t kByteLatch = 901;
constexpr int32_t kNumericLatch = 902;
constexpr int32_t kByteShift = 913;
constexpr int32_t kMacroTerminator = 922;
constexpr int32_t kMacroOptional = 923;
constexpr int32_t kByteLatchSix = 924;
constexpr int32_t kEciUser = 925;
constexpr int32_t kEciGeneral = 926;
constexpr int32_t kEciCharset = 927;
constexpr int32_t kMacroBlock = 928;

enum SubMode { kAlpha, kLower, kMixed, kPunct };
const char kMixedChars[] = "0123456789&\r\t,:#-.$/+%*=^";
const char kPunctChars[] = ";<>@[\\]_`~!\r\t,:\n-.$/\"|*()?{}'";

struct Out {
  char* text;
  int32_t size;
  int32_t length = 0;
  bool Put(int c) {
    if (length + 1 >= size) return false;
    text[length++] = static_cast<char>(c);
    return true;
  }
};

struct TextState {
  SubMode mode = kAlpha;
  int shifted = -1;  // the submode of one shifted character
};

// One text value (half a codeword).
bool TextValue(TextState* st, int v, Out* out) {
  const SubMode cur = st->shifted >= 0 ? static_cast<SubMode>(st->shifted) : st->mode;
  const bool wasShift = st->shifted >= 0;
  st->shifted = -1;
  switch (cur) {
    case kAlpha:
    case kLower:
      if (v < 26) return out->Put((cur == kAlpha ? 'A' : 'a') + v);
      if (v == 26) return out->Put(' ');
      if (wasShift) return true;
      if (v == 27) {
        if (cur == kAlpha) st->mode = kLower;
        else st->shifted = kAlpha;
      }
      if (v == 28) st->mode = kMixed;
      if (v == 29) st->shifted = kPunct;
      return true;
    case kMixed:
      if (v < 25) return out->Put(kMixedChars[v]);
      if (v == 26) return out->Put(' ');
      if (wasShift) return true;
      if (v == 25) st->mode = kPunct;
      if (v == 27) st->mode = kLower;
      if (v == 28) st->mode = kAlpha;
      if (v == 29) st->shifted = kPunct;
      return true;
    case kPunct:
      if (v < 29) return out->Put(kPunctChars[v]);
      if (!wasShift) st->mode = kAlpha;
      return true;
  }
  return true;
}

// Decimal digits of a base-900 group; the group's leading 1 is dropped.
bool NumericGroup(const int32_t* cw, int32_t n, Out* out) {
  uint8_t digits[64] = {};  // little-endian decimal; 900^15 has 45 digits
  int32_t used = 1;
  for (int32_t i = 0; i < n; ++i) {
    int32_t carry = cw[i];
    for (int32_t d = 0; d < used; ++d) {
      const int32_t v = digits[d] * 900 + carry;
      digits[d] = static_cast<uint8_t>(v % 10);
      carry = v / 10;
    }
    while (carry > 0 && used < 64) {
      digits[used++] = static_cast<uint8_t>(carry % 10);
      carry /= 10;
    }
  }
  while (used > 1 && digits[used - 1] == 0) --used;
  if (digits[used - 1] != 1 || used < 2) return false;
  for (int32_t d = used - 2; d >= 0; --d)
    if (!out->Put('0' + digits[d])) return false;
  return true;
}

bool ByteGroup(const int32_t* cw, Out* out) {
  uint64_t v = 0;
  for (int i = 0; i < 5; ++i) v = v * 900 + static_cast<uint64_t>(cw[i]);
  if (v >> 48) return false;
  for (int i = 5; i >= 0; --i)
    if (!out->Put(static_cast<int>((v >> (8 * i)) & 0xff))) return false;
  return true;
}

}  // namespace

int32_t DecodePdf417Stream(const int32_t* cw, int32_t dataCount, char* text, int32_t textSize) {
  if (text == nullptr || textSize <= 0) return kPdfStreamBroken;
  text[0] = '\0';
  if (cw == nullptr || dataCount < 1 || dataCount > kMaxCodewords) return kPdfStreamOutside;
  const int32_t end = cw[0];
  if (end < 1 || end > dataCount) return kPdfStreamOutside;
  Out out{text, textSize};
  int32_t i = 1;
  int32_t mode = kTextLatch;
  TextState textState;
  while (i < end) {
    const int32_t c = cw[i];
    if (c < 0 || c > 928) return kPdfStreamBroken;
    if (c >= 900) {
      ++i;
      switch (c) {
        case kTextLatch:
          textState = TextState{};
          mode = c;
          continue;
        case kByteLatch:
        case kByteLatchSix:
        case kNumericLatch:
          mode = c;
          continue;
        case kByteShift:
          textState.shifted = -1;  // a pad shift before the byte
          if (mode != kTextLatch || i >= end || cw[i] > 255) return kPdfStreamBroken;
          if (!out.Put(cw[i++])) return kPdfStreamBroken;
          continue;
        case kMacroTerminator:
        case kMacroOptional:
        case kMacroBlock:
          i = end;  // the macro control block ends the data
          continue;
        case kEciUser:
        case kEciCharset:
        case kEciGeneral: {
          const int32_t args = c == kEciGeneral ? 2 : 1;
          if (i + args > end) return kPdfStreamBroken;
          i += args;
          continue;
        }
        default:
          return kPdfStreamBroken;
      }
    }
    // A run of data codewords up to the next mode codeword.
    int32_t stop = i;
    while (stop < end && cw[stop] < 900) ++stop;
    const int32_t n = stop - i;
    if (mode == kTextLatch) {
      for (; i < stop; ++i)
        if (!TextValue(&textState, cw[i] / 30, &out) || !TextValue(&textState, cw[i] % 30, &out))
          return kPdfStreamBroken;
      // A byte shift continues the text after its byte.
      continue;
    }
    if (mode == kNumericLatch) {
      for (; i < stop; i += 15) {
        const int32_t g = stop - i < 15 ? stop - i : 15;
        if (!NumericGroup(cw + i, g, &out)) return kPdfStreamBroken;
      }
      continue;
    }
    // Byte compaction: 924 holds only whole groups; 901 ends with 1-5 single bytes.
    int32_t groups = mode == kByteLatchSix ? n / 5 : (n - 1) / 5;
    if (mode == kByteLatchSix && n % 5 != 0) return kPdfStreamBroken;
    for (int32_t g = 0; g < groups; ++g, i += 5)
      if (!ByteGroup(cw + i, &out)) return kPdfStreamBroken;
    for (; i < stop; ++i)
      if (cw[i] > 255 || !out.Put(cw[i])) return kPdfStreamBroken;
  }
  text[out.length] = '\0';
  return 0;
}

}  // namespace barcode
