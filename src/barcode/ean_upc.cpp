// EAN-13, EAN-8, UPC-A (as EAN-13 with a leading 0) and UPC-E (ISO/IEC 15420).
#include <cstring>

#include "barcode/linear_readers.h"

namespace barcode {

namespace {

// L patterns (space, bar, space, bar) then G patterns; R digits use L widths.
const int32_t kDigits[20 * 4] = {3, 2, 1, 1, 2, 2, 2, 1, 2, 1, 2, 2, 1, 4, 1, 1, 1, 1, 3, 2,
                                 1, 2, 3, 1, 1, 1, 1, 4, 1, 3, 1, 2, 1, 2, 1, 3, 3, 1, 1, 2,
                                 1, 1, 2, 3, 1, 2, 2, 2, 2, 2, 1, 2, 1, 1, 4, 1, 2, 3, 1, 1,
                                 1, 3, 2, 1, 4, 1, 1, 1, 2, 1, 3, 1, 3, 1, 2, 1, 2, 1, 1, 3};
const int32_t kGuard[3] = {1, 1, 1};
const int32_t kMiddle[5] = {1, 1, 1, 1, 1};
const int32_t kUpcEEnd[6] = {1, 1, 1, 1, 1, 1};
// G-parity masks of the six left digits, first digit in bit 5.
const uint8_t kEan13Parity[10] = {0x00, 0x0B, 0x0D, 0x0E, 0x13, 0x19, 0x1C, 0x15, 0x16, 0x1A};
const uint8_t kUpcEParity[10] = {0x38, 0x34, 0x32, 0x31, 0x2C, 0x26, 0x23, 0x2A, 0x29, 0x25};

bool GuardAt(const RunList& runs, int at, const int32_t* pattern, int n) {
  if (at < 0 || at + n > runs.count) return false;
  int modules = 0;
  for (int k = 0; k < n; ++k) modules += pattern[k];
  return ReaderPatternVariance(runs.runs + at, n, pattern, modules, 180) < 256;
}

// Decodes count digits from at; parity gets a bit per G digit.
bool Digits(const RunList& runs, int at, int count, bool withG, char* out, int* parity) {
  if (at + 4 * count > runs.count) return false;
  *parity = 0;
  for (int d = 0; d < count; ++d) {
    int m = BestPatternMatch(runs.runs + at + 4 * d, kDigits, withG ? 20 : 10, 4, 7, 179, 122);
    if (m < 0) return false;
    out[d] = static_cast<char>('0' + m % 10);
    *parity = (*parity << 1) | (m >= 10 ? 1 : 0);
  }
  return true;
}

// Standard check: weight 3 on the digit next to the check digit, alternating.
bool CheckDigitHolds(const char* digits, size_t n) {
  if (n < 2) return false;
  int sum = 0;
  for (size_t k = 0; k + 1 < n; ++k) {
    int weight = ((n - 2 - k) % 2 == 0) ? 3 : 1;
    sum += (digits[k] - '0') * weight;
  }
  return (10 - sum % 10) % 10 == digits[n - 1] - '0';
}

bool QuietAfter(const RunList& runs, int index, uint32_t q) {
  if (SumRuns(runs, index, runs.count) <= q) return true;
  return index < runs.count && runs.runs[index] > q;
}

void ExpandUpcE(const char* e, char* a) {
  // e: number system, six digits, check; a: the twelve UPC-A digits.
  const char* d = e + 1;
  std::memset(a, '0', 12);
  a[0] = e[0];
  switch (d[5]) {
    case '0':
    case '1':
    case '2':
      a[1] = d[0], a[2] = d[1], a[3] = d[5], a[8] = d[2], a[9] = d[3], a[10] = d[4];
      break;
    case '3':
      a[1] = d[0], a[2] = d[1], a[3] = d[2], a[9] = d[3], a[10] = d[4];
      break;
    case '4':
      a[1] = d[0], a[2] = d[1], a[3] = d[2], a[4] = d[3], a[10] = d[4];
      break;
    default:
      a[1] = d[0], a[2] = d[1], a[3] = d[2], a[4] = d[3], a[5] = d[4], a[10] = d[5];
      break;
  }
  a[11] = e[7];
}

struct Read {
  const char* name;
  char text[16];
};

bool TryEan13(const RunList& runs, int b, uint32_t q, Read* read) {
  char left[6], right[6];
  int parity, ignored;
  if (!Digits(runs, b, 6, true, left, &parity)) return false;
  if (!GuardAt(runs, b + 24, kMiddle, 5)) return false;
  if (!Digits(runs, b + 29, 6, false, right, &ignored)) return false;
  if (!GuardAt(runs, b + 53, kGuard, 3) || !QuietAfter(runs, b + 56, q)) return false;
  size_t n = 0;
  for (int first = 0; first < 10; ++first)
    if (kEan13Parity[first] == parity) read->text[n++] = static_cast<char>('0' + first);
  std::memcpy(read->text + n, left, 6);
  std::memcpy(read->text + n + 6, right, 6);
  n += 12;
  read->text[n] = '\0';
  if (!CheckDigitHolds(read->text, n)) return false;
  read->name = "EAN_13";
  if (n == 13 && read->text[0] == '0') {
    std::memmove(read->text, read->text + 1, 13);
    read->name = "UPC_A";
  }
  return true;
}

bool TryEan8(const RunList& runs, int b, uint32_t q, Read* read) {
  int parity;
  if (!Digits(runs, b, 4, false, read->text, &parity)) return false;
  if (!GuardAt(runs, b + 16, kMiddle, 5)) return false;
  if (!Digits(runs, b + 21, 4, false, read->text + 4, &parity)) return false;
  if (!GuardAt(runs, b + 37, kGuard, 3) || !QuietAfter(runs, b + 40, q)) return false;
  read->text[8] = '\0';
  if (!CheckDigitHolds(read->text, 8)) return false;
  read->name = "EAN_8";
  return true;
}

bool TryUpcE(const RunList& runs, int b, uint32_t q, Read* read) {
  char digits[6];
  int parity;
  if (!Digits(runs, b, 6, true, digits, &parity)) return false;
  if (!GuardAt(runs, b + 24, kUpcEEnd, 6) || !QuietAfter(runs, b + 30, q)) return false;
  int system = -1, check = -1;
  for (int c = 0; c < 10 && system < 0; ++c) {
    if (kUpcEParity[c] == parity) system = 0, check = c;
    if ((kUpcEParity[c] ^ 0x3F) == parity) system = 1, check = c;
  }
  if (system < 0) {
    // Parities of no table entry give no number system and no check digit:
    // the six digits stand alone and the last of them is checked as the
    // check digit, as EAN-13 does with twelve.
    std::memcpy(read->text, digits, 6);
    read->text[6] = '\0';
    if (!CheckDigitHolds(read->text, 6)) return false;
  } else {
    read->text[0] = static_cast<char>('0' + system);
    std::memcpy(read->text + 1, digits, 6);
    read->text[7] = static_cast<char>('0' + check);
    read->text[8] = '\0';
    char upcA[12];
    ExpandUpcE(read->text, upcA);
    if (!CheckDigitHolds(upcA, 12)) return false;
  }
  read->name = "UPC_E";
  return true;
}

}  // namespace

int32_t ReadEanUpc(const RunList& runs, ReaderOutput* out, bool* found) {
  *found = false;
  for (int from = 0;;) {
    int b = FindGuardPattern(runs, kGuard, 3, from);
    if (b < 0) return 0;
    from = b - 3 + 2;
    uint32_t guard = SumRuns(runs, b - 3, b);
    uint32_t q = (5 * guard) / 3;
    bool quiet = SumRuns(runs, 0, b - 3) <= q || (b - 4 >= 0 && runs.runs[b - 4] > q);
    if (!quiet) continue;
    Read read{};
    if (TryEan13(runs, b, q, &read) || TryEan8(runs, b, q, &read) || TryUpcE(runs, b, q, &read)) {
      SetReaderText(out, read.name, read.text, read.text);
      out->moduleSize = guard / 3.0;
      *found = true;
      return 0;
    }
  }
}

}  // namespace barcode
