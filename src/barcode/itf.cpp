// Interleaved 2 of 5 (ISO/IEC 16390): any even number of digits, no check.
#include "barcode/alloc.h"
#include "barcode/error_trail.h"
#include "barcode/linear_readers.h"

namespace barcode {

namespace {

// Wide elements are 3 modules, so every digit is 9 modules.
const int32_t kDigits[10 * 5] = {1, 1, 3, 3, 1, 3, 1, 1, 1, 3, 1, 3, 1, 1, 3, 3, 3,
                                 1, 1, 1, 1, 1, 3, 1, 3, 3, 1, 3, 1, 1, 1, 3, 3, 1,
                                 1, 1, 1, 1, 3, 3, 3, 1, 1, 3, 1, 1, 3, 1, 3, 1};
const int32_t kStart[4] = {1, 1, 1, 1};
const int32_t kEndReversed[3] = {1, 1, 3};

// Quiet zone rule: nothing more than q before, or a light run wider than q.
bool QuietBefore(const RunList& runs, int index, uint32_t q) {
  if (SumRuns(runs, 0, index) <= q) return true;
  return index >= 1 && runs.runs[index - 1] > q;
}

}  // namespace

int32_t ReadItf(const RunList& runs, ReaderOutput* out, bool* found) {
  *found = false;
  const uint32_t* r = runs.runs;
  // Start guard with a quiet zone.
  int startEnd = -1;
  uint32_t narrow = 0;
  for (int from = 0;;) {
    int behind = FindGuardPattern(runs, kStart, 4, from);
    if (behind < 0) return 0;
    uint32_t n = SumRuns(runs, behind - 4, behind) / 4;
    if (QuietBefore(runs, behind - 4, 5 * n)) {
      startEnd = behind;
      narrow = n;
      break;
    }
    from = behind - 4 + 2;
  }
  // End guard, found from the right on the reversed runs.
  Buffer<uint32_t> reversed = AllocArray<uint32_t>(static_cast<size_t>(runs.count) + 1);
  if (!reversed) {
    ReaderLastError() = -10102013;
    return 1;
  }
  RunList rev{0, reversed.get()};
  // Reversed list must start dark: a trailing light run becomes a 0 first.
  int last = runs.count - 1;
  const int offset = (last % 2 == 1) ? 1 : 0;
  if (offset) rev.runs[rev.count++] = 0;
  for (int k = last; k >= 0; --k) rev.runs[rev.count++] = r[k];
  int endStart = -1;
  uint32_t endNarrow = 0;
  for (int from = 0;;) {
    int behind = FindGuardPattern(rev, kEndReversed, 3, from);
    if (behind < 0) return 0;
    uint32_t n = SumRuns(rev, behind - 3, behind) / 5;
    if (QuietBefore(rev, behind - 3, 5 * n)) {
      // Index in the forward list of the end guard's first run.
      endStart = runs.count - behind + offset;
      endNarrow = n;
      break;
    }
    from = behind - 3 + 2;
  }
  if (narrow == 0 || endNarrow == 0 || narrow > 2 * endNarrow || endNarrow > 2 * narrow) return 0;
  const int digitRuns = endStart - startEnd;
  if (digitRuns <= 0 || digitRuns % 10 != 0) return 0;
  char text[kReaderTextSize];
  size_t len = 0;
  for (int i = startEnd; i < endStart; i += 10) {
    uint32_t bars[5], spaces[5];
    for (int k = 0; k < 5; ++k) bars[k] = r[i + 2 * k], spaces[k] = r[i + 2 * k + 1];
    int a = BestPatternMatch(bars, kDigits, 10, 5, 9, 199, 107);
    int b = BestPatternMatch(spaces, kDigits, 10, 5, 9, 199, 107);
    if (a < 0 || b < 0 || len + 2 >= sizeof(text)) return 0;
    text[len++] = static_cast<char>('0' + a);
    text[len++] = static_cast<char>('0' + b);
  }
  text[len] = '\0';
  SetReaderText(out, "ITF", text, text);
  out->moduleSize = SumRuns(runs, startEnd - 4, startEnd) / 4.0;
  *found = true;
  return 0;
}

}  // namespace barcode
