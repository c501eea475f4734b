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
  uint8_t exp[512];  // twice over, so that a sum of two logarithms needs no modulo
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
    for (int32_t i = q - 1; i < 2 * (q - 1) + 1; ++i) exp[i] = exp[i - (q - 1)];
    return true;
  }
  uint8_t Mul(uint8_t a, uint8_t b) const {
    if (a == 0 || b == 0) return 0;
    return exp[log[a] + log[b]];
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

// R(alpha^(b + i)) for i < ecCount; true when any is non-zero. Horner's
// rule runs for all the syndromes side by side, a codeword at a time, so
// that the table look-ups of one step do not wait for each other.
bool Syndromes(const Field& f, const uint8_t* codewords, int32_t n, int32_t ecCount, int32_t b,
               Poly* s) {
  Zero(s);
  int32_t xLog[kMaxBlockCodewords];
  for (int32_t i = 0; i < ecCount; ++i) xLog[i] = f.log[f.Pow(static_cast<int64_t>(b) + i)];
  // Held apart from the codewords, so that a store to one does not make the
  // compiler load the other again.
  uint8_t v[kMaxBlockCodewords] = {};
  for (int32_t k = 0; k < n; ++k) {
    const uint8_t c = codewords[k];
    for (int32_t i = 0; i < ecCount; ++i)
      v[i] = static_cast<uint8_t>((v[i] == 0 ? 0 : f.exp[f.log[v[i]] + xLog[i]]) ^ c);
  }
  std::memcpy(s->c, v, static_cast<size_t>(ecCount));
  s->degree = ecCount - 1;
  s->Trim();
  return s->degree >= 0;
}

// Marks root[x] for every non-zero x with sigma(x) = 0. x runs through the
// powers of alpha, each term of sigma stepping by its own power, so that no
// term waits for the one before it as in Horner's rule.
void FindRoots(const Field& f, const Poly& sigma, uint8_t* root) {
  const int32_t order = f.q - 1;
  int32_t termLog[kMaxBlockCodewords + 2], stepLog[kMaxBlockCodewords + 2];
  int32_t terms = 0;
  uint8_t constant = 0;
  for (int32_t j = 0; j <= sigma.degree; ++j) {
    if (sigma.c[j] == 0) continue;
    if (j % order == 0) {
      constant ^= sigma.c[j];  // x^j = 1 for every x
      continue;
    }
    termLog[terms] = f.log[sigma.c[j]];
    stepLog[terms++] = j % order;
  }
  std::memset(root, 0, 256);
  for (int32_t m = 0; m < order; ++m) {
    uint8_t v = constant;
    for (int32_t t = 0; t < terms; ++t) {
      v ^= f.exp[termLog[t]];
      termLog[t] += stepLog[t];
      if (termLog[t] >= order) termLog[t] -= order;
    }
    if (v == 0) root[f.exp[m]] = 1;
  }
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

  // Chien search: the roots of sigma are the inverses of the locators,
  // taken in increasing order of the root.
  uint8_t root[256];
  FindRoots(f, sigma, root);
  uint8_t locators[kMaxBlockCodewords];
  int32_t found = 0;
  for (int32_t x = 1; x < q && found <= sigma.degree; ++x) {
    if (!root[x]) continue;
    if (found < kMaxBlockCodewords) locators[found] = f.Inv(static_cast<uint8_t>(x));
    ++found;
  }
  if (found != sigma.degree) return Refuse(kErrorRootCount);

  // Forney: e = X^-b * omega(X^-1) / prod over the others of (1 + Xj X^-1).
  uint8_t magnitudes[kMaxBlockCodewords];
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
    magnitudes[i] = magnitude;
  }
  // Too many errors can leave a locator that finds its roots yet does not
  // mend the block; only a block that is now a codeword counts as corrected.
  // The syndromes are linear: the corrected block's are the received ones
  // plus those of the corrections, (e X^(b + i)) summed over the locators.
  for (int32_t i = 0; i < ecCount; ++i) {
    uint8_t v = s.c[i];
    for (int32_t j = 0; j < found; ++j)
      v ^= f.Mul(magnitudes[j], f.Pow((static_cast<int64_t>(b) + i) * f.log[locators[j]]));
    if (v != 0) return Refuse(kErrorRootCount);
  }
  return 0;
}

}  // namespace barcode
