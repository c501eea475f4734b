#include "output/lzss.h"

#include <cstring>
#include <memory>
#include <new>

namespace output {

namespace {

constexpr int kRingSize = 4096;
constexpr int kLongestMatch = 18;
constexpr int kThreshold = 2;  // matches this short or shorter go as literals
constexpr int kNil = kRingSize;
constexpr std::uint8_t kRingFill = 0x20;

// The ring and its match trees: one tree per first byte, rooted at
// kRingSize + 1 + byte. The ring has a mirror of its first 17 bytes behind it
// so that a match can be compared without wrapping.
struct MatchTrees {
  std::uint8_t ring[kRingSize + kLongestMatch - 1];
  int left[kRingSize + 1];
  int right[kRingSize + 257];
  int parent[kRingSize + 1];
  int matchPosition = 0;
  int matchLength = 0;

  void Init() {
    for (int i = kRingSize + 1; i <= kRingSize + 256; ++i) right[i] = kNil;
    for (int i = 0; i < kRingSize; ++i) parent[i] = kNil;
    std::memset(ring, kRingFill, sizeof ring);
  }

  // Adds the string at r to its tree and leaves the longest match found on
  // the way (the first met among equals). A full-length match takes the older
  // node's place in the tree.
  void Insert(int r) {
    const std::uint8_t* key = &ring[r];
    int p = kRingSize + 1 + key[0];
    int cmp = 1;
    right[r] = left[r] = kNil;
    matchLength = 0;
    for (;;) {
      if (cmp >= 0) {
        if (right[p] == kNil) {
          right[p] = r;
          parent[r] = p;
          return;
        }
        p = right[p];
      } else {
        if (left[p] == kNil) {
          left[p] = r;
          parent[r] = p;
          return;
        }
        p = left[p];
      }
      int i = 1;
      for (; i < kLongestMatch; ++i) {
        cmp = key[i] - ring[p + i];
        if (cmp != 0) break;
      }
      if (i > matchLength) {
        matchPosition = p;
        matchLength = i;
        if (matchLength >= kLongestMatch) break;
      }
    }
    // r replaces p.
    parent[r] = parent[p];
    left[r] = left[p];
    right[r] = right[p];
    parent[left[p]] = r;
    parent[right[p]] = r;
    if (right[parent[p]] == p) {
      right[parent[p]] = r;
    } else {
      left[parent[p]] = r;
    }
    parent[p] = kNil;
  }

  // Takes position p out of its tree (the ring is about to overwrite it).
  void Remove(int p) {
    if (parent[p] == kNil) return;
    int q;
    if (right[p] == kNil) {
      q = left[p];
    } else if (left[p] == kNil) {
      q = right[p];
    } else {
      q = left[p];
      if (right[q] != kNil) {
        do {
          q = right[q];
        } while (right[q] != kNil);
        right[parent[q]] = left[q];
        parent[left[q]] = parent[q];
        left[q] = left[p];
        parent[left[p]] = q;
      }
      right[q] = right[p];
      parent[right[p]] = q;
    }
    parent[q] = parent[p];
    if (right[parent[p]] == p) {
      right[parent[p]] = q;
    } else {
      left[parent[p]] = q;
    }
    parent[p] = kNil;
  }
};

}  // namespace

std::optional<std::vector<std::uint8_t>> LzssEncode(const std::uint8_t* bytes, std::size_t length) {
  if (bytes == nullptr || length == 0) return std::nullopt;
  std::unique_ptr<MatchTrees> trees(new (std::nothrow) MatchTrees);
  std::vector<std::uint8_t> out;
  try {
    out.reserve(length + length / 8 + 2);
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
  if (!trees) return std::nullopt;
  MatchTrees& t = *trees;
  t.Init();

  std::size_t next = 0;  // next input byte
  int s = 0;
  int r = kRingSize - kLongestMatch;
  int ahead = 0;  // bytes in the look-ahead
  while (ahead < kLongestMatch && next < length) t.ring[r + ahead++] = bytes[next++];
  for (int i = 1; i <= kLongestMatch; ++i) t.Insert(r - i);
  t.Insert(r);

  std::uint8_t group[1 + 8 * 2];
  group[0] = 0;
  int groupLength = 1;
  std::uint8_t mask = 1;
  do {
    if (t.matchLength > ahead) t.matchLength = ahead;
    if (t.matchLength <= kThreshold) {
      t.matchLength = 1;
      group[0] |= mask;
      group[groupLength++] = t.ring[r];
    } else {
      group[groupLength++] = static_cast<std::uint8_t>(t.matchPosition & 0xFF);
      group[groupLength++] = static_cast<std::uint8_t>(((t.matchPosition >> 4) & 0xF0) |
                                                       (t.matchLength - (kThreshold + 1)));
    }
    mask = static_cast<std::uint8_t>(mask << 1);
    if (mask == 0) {
      out.insert(out.end(), group, group + groupLength);
      group[0] = 0;
      groupLength = 1;
      mask = 1;
    }
    const int consumed = t.matchLength;
    int i = 0;
    for (; i < consumed && next < length; ++i) {
      const std::uint8_t c = bytes[next++];
      t.Remove(s);
      t.ring[s] = c;
      if (s < kLongestMatch - 1) t.ring[s + kRingSize] = c;
      s = (s + 1) & (kRingSize - 1);
      r = (r + 1) & (kRingSize - 1);
      t.Insert(r);
    }
    for (; i < consumed; ++i) {  // the input is used up: the look-ahead shrinks
      t.Remove(s);
      s = (s + 1) & (kRingSize - 1);
      r = (r + 1) & (kRingSize - 1);
      if (--ahead > 0) t.Insert(r);
    }
  } while (ahead > 0);
  if (groupLength > 1) out.insert(out.end(), group, group + groupLength);
  return out;
}

}  // namespace output
