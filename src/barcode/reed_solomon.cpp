// Syndromes, the extended Euclidean algorithm for the error locator and
// evaluator, a Chien search for the error positions and Forney's formula for
// their values. The field tables are built at every call: the readers pass
// their own polynomials and a call is short next to the sampling around it.
#include "barcode/reed_solomon.h"

#include <cstring>

#include "barcode/error_trail.h"

namespace barcode {

namespace {

constexpr int32_t kErrorOutsideBlock = -40101301;
constexpr int32_t kErrorLocatorZero = -40101303;
constexpr int32_t kErrorRootCount = -40101305;
constexpr int32_t kErrorBadParameters = -50101307;

struct Field {
  int32_t q = 0;  // field size
  uint8_t exp[256];
  int16_t log[256];

  // False when the polynomial does not generate every non-zero element, so
  // that a caller's wrong polynomial is refused rather than half-used.
  bool Build(int32_t size, int32_t polynomial) {
    q = size;
    std::memset(log, 0xff, sizeof(log));  // log(0) = -1
    int32_t e = 1;
    for (int32_t i = 0; i < q - 1; ++i) {
      if (e == 0 || log[e] >= 0) return false;
      exp[i] = static_cast<uint8_t>(e);
      log[e] = static_cast<int16_t>(i);
      e <<= 1;
      if (e >= q) e = (q - 1) & (e ^ polynomial);
    }
    exp[q - 1] = exp[0];
    return true;
  }
  uint8_t Mul(uint8_t a, uint8_t b) const {
    if (a == 0 || b == 0) return 0;
    return exp[(log[a] + log[b]) % (q - 1)];
  }
  uint8_t Inv(uint8_t a) const { return exp[(q - 1 - log[a]) % (q - 1)]; }
  // alpha^k for any k.
  uint8_t Pow(int64_t k) const {
    int64_t m = k % (q - 1);
    if (m < 0) m += q - 1;
    return exp[m];
  }
};

// Coefficients lowest power first; degree -1 for the zero polynomial.
struct Poly {
  uint8_t c[kMaxBlockCodewords + 2];
  int32_t degree;

  void Trim() {
    while (degree >= 0 && c[degree] == 0) --degree;
  }
  uint8_t Eval(const Field& f, uint8_t x) const {
    uint8_t v = 0;
    for (int32_t i = degree; i >= 0; --i) v = static_cast<uint8_t>(f.Mul(v, x) ^ c[i]);
    return v;
  }
};

void Zero(Poly* p) {
  std::memset(p->c, 0, sizeof(p->c));
  p->degree = -1;
}

// R(alpha^(b + i)) for i < ecCount; true when any is non-zero.
bool Syndromes(const Field& f, const uint8_t* codewords, int32_t n, int32_t ecCount, int32_t b,
               Poly* s) {
  Zero(s);
  for (int32_t i = 0; i < ecCount; ++i) {
    const uint8_t x = f.Pow(static_cast<int64_t>(b) + i);
    uint8_t v = 0;
    for (int32_t k = 0; k < n; ++k) v = static_cast<uint8_t>(f.Mul(v, x) ^ codewords[k]);
    s->c[i] = v;
  }
  s->degree = ecCount - 1;
  s->Trim();
  return s->degree >= 0;
}

int32_t Refuse(int32_t lastError) {
  ReaderLastError() = lastError;
  return kBlockUncorrectable;
}

// sigma * S = omega mod x^ecCount, by Euclid on x^ecCount and S, stopping once
// the remainder's degree falls below ecCount / 2.
bool SolveKeyEquation(const Field& f, const Poly& syndromes, int32_t ecCount, Poly* sigma,
                      Poly* omega) {
  Poly rPrev, r, tPrev, t;
  Zero(&rPrev);
  rPrev.c[ecCount] = 1;
  rPrev.degree = ecCount;
  r = syndromes;
  Zero(&tPrev);
  Zero(&t);
  t.c[0] = 1;
  t.degree = 0;
  while (r.degree >= ecCount / 2 && r.degree >= 0) {
    // Divide rPrev by r; the quotient goes straight into the t recurrence.
    Poly rem = rPrev, next = tPrev;
    const uint8_t leadInv = f.Inv(r.c[r.degree]);
    while (rem.degree >= r.degree) {
      const int32_t shift = rem.degree - r.degree;
      const uint8_t scale = f.Mul(rem.c[rem.degree], leadInv);
      for (int32_t i = 0; i <= r.degree; ++i)
        rem.c[i + shift] = static_cast<uint8_t>(rem.c[i + shift] ^ f.Mul(scale, r.c[i]));
      for (int32_t i = 0; i <= t.degree; ++i)
        next.c[i + shift] = static_cast<uint8_t>(next.c[i + shift] ^ f.Mul(scale, t.c[i]));
      if (t.degree + shift > next.degree) next.degree = t.degree + shift;
      rem.Trim();
    }
    next.Trim();
    rPrev = r;
    r = rem;
    tPrev = t;
    t = next;
    if (t.degree > ecCount) return false;
  }
  if (t.degree < 0 || t.c[0] == 0) return false;
  const uint8_t norm = f.Inv(t.c[0]);
  for (int32_t i = 0; i <= t.degree; ++i) t.c[i] = f.Mul(t.c[i], norm);
  for (int32_t i = 0; i <= r.degree; ++i) r.c[i] = f.Mul(r.c[i], norm);
  *sigma = t;
  *omega = r;
  return true;
}

}  // namespace

int32_t CorrectCodewords(uint8_t* codewords, int32_t dataCount, int32_t ecCount, int32_t b,
                         int32_t polynomial) {
  const int32_t q = polynomial == kPolynomialGf16 ? 16 : 256;
  if (codewords == nullptr || dataCount < 0 || ecCount < 0 ||
      dataCount > kMaxBlockCodewords - ecCount || dataCount + ecCount > q - 1)
    return Refuse(kErrorBadParameters);
  const int32_t n = dataCount + ecCount;
  Field f;
  if (!f.Build(q, polynomial)) return Refuse(kErrorBadParameters);
  for (int32_t k = 0; k < n; ++k)
    if (codewords[k] >= q) return Refuse(kErrorBadParameters);

  Poly s;
  if (!Syndromes(f, codewords, n, ecCount, b, &s)) return 0;
  Poly sigma, omega;
  if (!SolveKeyEquation(f, s, ecCount, &sigma, &omega)) return Refuse(kErrorLocatorZero);

  // Chien search: the roots of sigma are the inverses of the locators.
  uint8_t locators[kMaxBlockCodewords];
  int32_t found = 0;
  for (int32_t x = 1; x < q && found <= sigma.degree; ++x) {
    if (sigma.Eval(f, static_cast<uint8_t>(x)) != 0) continue;
    if (found < kMaxBlockCodewords) locators[found] = f.Inv(static_cast<uint8_t>(x));
    ++found;
  }
  if (found != sigma.degree) return Refuse(kErrorRootCount);

  // Forney: e = X^-b * omega(X^-1) / prod over the others of (1 + Xj X^-1).
  for (int32_t i = 0; i < found; ++i) {
    const uint8_t xInv = f.Inv(locators[i]);
    uint8_t denominator = 1;
    for (int32_t j = 0; j < found; ++j)
      if (j != i)
        denominator = f.Mul(denominator, static_cast<uint8_t>(1 ^ f.Mul(locators[j], xInv)));
    uint8_t magnitude = f.Mul(omega.Eval(f, xInv), f.Inv(denominator));
    magnitude = f.Mul(magnitude, f.Pow(-static_cast<int64_t>(b) * f.log[locators[i]]));
    const int32_t position = n - 1 - f.log[locators[i]];
    if (position < 0 || position >= n) return Refuse(kErrorOutsideBlock);
    codewords[position] = static_cast<uint8_t>(codewords[position] ^ magnitude);
  }
  // Too many errors can leave a locator that finds its roots yet does not
  // mend the block; only a block that is now a codeword counts as corrected.
  if (Syndromes(f, codewords, n, ecCount, b, &s)) return Refuse(kErrorRootCount);
  return 0;
}

}  // namespace barcode
