#include "output/lzss.h"

#include <x86intrin.h>

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

// The strings the trees hold are 18 bytes long and equal in their first byte
// (one tree per first byte). Their tails, bytes 1 to 17, are compared as two
// big-endian words and a byte, without a branch: which way the search goes
// down is as good as random, and a mispredicted branch costs more than the
// few instructions that stand in for it.
inline std::uint64_t LoadWord(const std::uint8_t* bytes) {
  static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "word loads assume little-endian");
  std::uint64_t word;
  std::memcpy(&word, bytes, sizeof word);
  return word;
}

struct Tail {
  std::uint64_t head, middle;        // bytes 1-8 and 9-16 as read
  std::uint64_t headKey, middleKey;  // the same in big-endian order
  std::uint8_t last;                 // byte 17

  explicit Tail(const std::uint8_t* s)
      : head(LoadWord(s + 1)),
        middle(LoadWord(s + 9)),
        headKey(__builtin_bswap64(head)),
        middleKey(__builtin_bswap64(middle)),
        last(s[17]) {}

  bool operator==(const Tail& other) const {
    return ((head ^ other.head) | (middle ^ other.middle) | (last ^ other.last)) == 0;
  }
};

inline int Hash(const Tail& t) {
  const std::uint64_t mixed =
      (t.head * 0x9E3779B97F4A7C15u) ^ (t.middle * 0xC2B2AE3D27D4EB4Fu) ^ t.last;
  return static_cast<int>(mixed >> (64 - 12));
}

// Whether string a sorts before string b: the borrow out of subtracting
// b's tail from a's, taken as one 136-bit big-endian number.
inline bool SortsBefore(const Tail& a, const Tail& b) {
  unsigned long long difference;
  unsigned char borrow = _subborrow_u64(0, a.last, b.last, &difference);
  borrow = _subborrow_u64(borrow, a.middleKey, b.middleKey, &difference);
  return _subborrow_u64(borrow, a.headKey, b.headKey, &difference);
}

// Equal leading bytes of two words read from memory (0 to 8).
inline int CommonBytes(std::uint64_t a, std::uint64_t b) {
  const std::uint64_t diff = a ^ b;
  return (__builtin_ctzll(diff | (std::uint64_t{1} << 63)) >> 3) + (diff == 0);
}

// Length of the common prefix of two strings of one tree (1 to 18), in
// arithmetic only: the later parts count only when the earlier ones are equal.
inline int CommonLength(const Tail& a, const Tail& b) {
  const int head = CommonBytes(a.head, b.head);
  const int middle = CommonBytes(a.middle, b.middle);
  const int last = a.last == b.last;
  const int tail = (middle + (last & -(middle == 8))) & -(head == 8);
  return 1 + head + tail;
}

// The ring and its match trees: one tree per first byte, rooted at
// kRingSize + 1 + byte. The ring has a mirror of its first 17 bytes behind it
// so that a match can be compared without wrapping. Node links are 16-bit and
// a node's two children sit side by side, so that the trees and the ring stay
// in the first-level cache and a step down is one load.
struct MatchTrees {
  using Link = std::uint16_t;
  static constexpr int kNodes = kRingSize + 257;
  static constexpr int kAfter = 0;   // child for strings that sort at or after the node
  static constexpr int kBefore = 1;  // child for strings that sort before it
  std::uint8_t ring[kRingSize + kLongestMatch - 1];
  Link child[kNodes][2];
  Link parent[kRingSize + 1];
  // The newest position seen for each hash of a whole string: when that
  // position is still in its tree and holds the same string, it is the node
  // the search would stop at, and the search can be skipped.
  static constexpr int kHashBits = 12;
  Link newest[1 << kHashBits];
  int matchPosition = 0;
  int matchLength = 0;

  Link& Right(int p) { return child[p][kAfter]; }
  Link& Left(int p) { return child[p][kBefore]; }

  void Init() {
    for (int i = kRingSize + 1; i < kNodes; ++i) Right(i) = kNil;
    for (int i = 0; i < kRingSize; ++i) parent[i] = kNil;
    for (Link& q : newest) q = kNil;
    std::memset(ring, kRingFill, sizeof ring);
  }

  // Adds the string at r to its tree and, when kFindMatch, leaves the longest
  // match found on the way (the first met among equals); the encoder asks for
  // it only at the start of an item. A full-length match takes the older
  // node's place in the tree.
  template <bool kFindMatch>
  void Insert(int r) {
    const Tail key(&ring[r]);
    int p = kRingSize + 1 + ring[r];
    int side = kAfter;
    int next = Right(p);
    int position = 0;
    int longest = 0;
    Right(r) = Left(r) = kNil;
    Link& seen = newest[Hash(key)];
    const int same = seen;
    seen = static_cast<Link>(r);
    if (same != kNil && parent[same] != kNil && ring[same] == ring[r] && Tail(&ring[same]) == key) {
      p = same;
      position = same;
      longest = kLongestMatch;
      next = kNil;
    }
    while (longest < kLongestMatch) {
      if (next == kNil) {
        child[p][side] = static_cast<Link>(r);
        parent[r] = static_cast<Link>(p);
        if (kFindMatch) {
          matchPosition = position;
          matchLength = longest;
        }
        return;
      }
      p = next;
      // Both children are read while the strings are compared; the order of
      // the strings then only picks one.
      const int after = child[p][kAfter];
      const int before = child[p][kBefore];
      const Tail node(&ring[p]);
      side = SortsBefore(key, node);
      next = side ? before : after;
      if (kFindMatch) {
        const int length = CommonLength(key, node);
        const int longer = -(length > longest);  // all ones or zero
        position ^= (position ^ p) & longer;
        longest ^= (longest ^ length) & longer;
      } else if (key == node) {
        longest = kLongestMatch;
      }
    }
    if (kFindMatch) {
      matchPosition = position;
      matchLength = longest;
    }
    // r replaces p.
    const int up = parent[p];
    parent[r] = static_cast<Link>(up);
    Left(r) = Left(p);
    Right(r) = Right(p);
    parent[Left(p)] = static_cast<Link>(r);
    parent[Right(p)] = static_cast<Link>(r);
    child[up][Right(up) == p ? kAfter : kBefore] = static_cast<Link>(r);
    parent[p] = kNil;
  }

  // Takes position p out of its tree (the ring is about to overwrite it).
  void Remove(int p) {
    const int up = parent[p];
    if (up == kNil) return;
    Link q;
    if (Right(p) == kNil) {
      q = Left(p);
    } else if (Left(p) == kNil) {
      q = Right(p);
    } else {
      q = Left(p);
      if (Right(q) != kNil) {
        do {
          q = Right(q);
        } while (Right(q) != kNil);
        Right(parent[q]) = Left(q);
        parent[Left(q)] = parent[q];
        Left(q) = Left(p);
        parent[Left(p)] = q;
      }
      Right(q) = Right(p);
      parent[Right(p)] = q;
    }
    parent[q] = static_cast<Link>(up);
    child[up][Right(up) == p ? kAfter : kBefore] = q;
    parent[p] = kNil;
  }
};

// The last string an item consumes is where the next item's match is sought.
inline void InsertNext(MatchTrees& t, int r, bool itemEnds) {
  if (itemEnds) {
    t.Insert<true>(r);
  } else {
    t.Insert<false>(r);
  }
}

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
  for (int i = 1; i <= kLongestMatch; ++i) t.Insert<false>(r - i);
  t.Insert<true>(r);

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
      InsertNext(t, r, i + 1 == consumed);
    }
    for (; i < consumed; ++i) {  // the input is used up: the look-ahead shrinks
      t.Remove(s);
      s = (s + 1) & (kRingSize - 1);
      r = (r + 1) & (kRingSize - 1);
      if (--ahead > 0) InsertNext(t, r, i + 1 == consumed);
    }
  } while (ahead > 0);
  if (groupLength > 1) out.insert(out.end(), group, group + groupLength);
  return out;
}

}  // namespace output
