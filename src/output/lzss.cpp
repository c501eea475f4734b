#include "output/lzss.h"

#include <emmintrin.h>

#include <cstring>
#include <memory>
#include <new>
#include <type_traits>

#include "platform/os.h"

namespace output {

namespace {

constexpr int kRingSize = 4096;
constexpr int kLongestMatch = 18;
constexpr int kThreshold = 2;  // matches this short or shorter go as literals
constexpr int kNil = kRingSize;
constexpr std::uint8_t kRingFill = 0x20;

inline std::uint64_t LoadWord(const std::uint8_t* bytes) {
  static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "word loads assume little-endian");
  std::uint64_t word;
  std::memcpy(&word, bytes, sizeof word);
  return word;
}

// The strings the trees hold are 18 bytes long and equal in their first byte
// (one tree per first byte). Their tails, bytes 1 to 17, are compared as two
// big-endian words and a byte.
struct Tail {
  std::uint64_t head, middle;  // bytes 1-8 and 9-16, big-endian
  std::uint64_t last;          // byte 17

  explicit Tail(const std::uint8_t* s)
      : head(__builtin_bswap64(LoadWord(s + 1))),
        middle(__builtin_bswap64(LoadWord(s + 9))),
        last(s[17]) {}

  bool operator==(const Tail& other) const {
    return ((head ^ other.head) | (middle ^ other.middle) | (last ^ other.last)) == 0;
  }
};

// One step down the tree. The node sorts at or before the key exactly when
// subtracting key + 1 from the node's tail, as one 136-bit number, borrows;
// the search then goes on to the child after the node, and the node becomes
// the last one passed on its after side, else it goes to the child before.
// Which way is as good as random, so the borrow feeds conditional moves, not
// a branch.
inline std::size_t StepDown(std::uint64_t nodeLast, std::uint64_t nodeMiddle,
                            std::uint64_t nodeHead, std::uint64_t keyLastPlusOne,
                            std::uint64_t keyMiddle, std::uint64_t keyHead, std::size_t node,
                            std::size_t before, std::size_t after, std::size_t& lastAfter) {
  std::size_t next = before;
  asm("subq %[kl], %[nl]\n\t"
      "sbbq %[km], %[nm]\n\t"
      "sbbq %[kh], %[nh]\n\t"
      "cmovcq %[after], %[next]\n\t"
      "cmovcq %[node], %[lastAfter]"
      : [nl] "+r"(nodeLast), [nm] "+r"(nodeMiddle), [nh] "+r"(nodeHead), [next] "+r"(next),
        [lastAfter] "+r"(lastAfter)
      : [kl] "rm"(keyLastPlusOne), [km] "rm"(keyMiddle), [kh] "rm"(keyHead), [after] "r"(after),
        [node] "r"(node)
      : "cc");
  return next;
}

// c ? a : b by a conditional move: the compiler turns some of these into
// branches, which cost more where c is as good as random.
template <typename T>
inline T Select(bool c, T a, T b) {
  asm("testb %[c], %[c]\n\t"
      "cmovnz %[a], %[b]"
      : [b] "+r"(b)
      : [c] "q"(c), [a] "rm"(a)
      : "cc");
  return b;
}

// found follows the search down until it meets a node that shares the
// key's first kPrefix bytes (the node's tail head, bytes 1 to 8, shares its
// top kPrefix - 1 bytes); met counts such nodes. Without a branch: where the
// search meets the prefix is as good as random.
template <int kPrefix>
inline void FollowUntilPrefix(std::uint64_t nodeHead, std::uint64_t keyHead, std::size_t node,
                              std::size_t& found, std::size_t& met) {
  asm("testq %[met], %[met]\n\t"
      "cmovzq %[node], %[found]\n\t"
      "xorq %[kh], %[nh]\n\t"
      "shrq %[shift], %[nh]\n\t"
      "cmpq $1, %[nh]\n\t"
      "adcq $0, %[met]"
      : [found] "+r"(found), [met] "+r"(met), [nh] "+r"(nodeHead)
      : [node] "r"(node), [kh] "rm"(keyHead), [shift] "i"(64 - 8 * (kPrefix - 1))
      : "cc");
}

inline int Hash(const Tail& t) {
  const std::uint64_t mixed =
      (t.head ^ (t.middle << 7) ^ (t.middle >> 11) ^ t.last) * 0x9E3779B97F4A7C15u;
  return static_cast<int>(mixed >> (64 - 12));
}

// The ring and its match trees: one tree per first byte, rooted at
// kRingSize + 1 + byte. The ring has a mirror of its first 17 bytes behind it
// so that a match can be compared without wrapping, and one byte more so that
// kNil's string can be read like any other in tests that must not branch
// (kNil also has child and parent entries, which only such code writes).
// Node links are 16-bit and
// a node's two children sit side by side, so that the trees and the ring stay
// in the first-level cache and a step down is one load.
//
// The nodes whose strings begin with the same kPrefix bytes are neighbours in
// the tree's order, so they all hang below one of them, the shallowest. The
// search for a string with that beginning passes it, and every node above it
// shares fewer bytes with the string, so none of them decides where the
// string goes or which match is found: the search can start there. A table
// keeps such "prefix roots" by a hash of the prefix. A prefix root stays the
// shallowest of its prefix until it is removed or replaced, or until a
// removal lifts a node of its prefix above it; its entry is moved or dropped
// then. An entry that is missing or taken by another prefix is set again by
// the next search that meets the prefix on its way down from the tree's root.
struct MatchTrees {
  using Link = std::uint16_t;
  static constexpr int kNodes = kRingSize + 257;
  static constexpr int kAfter = 0;   // child for strings that sort at or after the node
  static constexpr int kBefore = 1;  // child for strings that sort before it
  static constexpr int kPrefix = 4;
  static constexpr std::uint64_t kPrefixMask = (std::uint64_t{1} << (8 * kPrefix)) - 1;
  static constexpr int kPrefixBits = 12;
  static constexpr int kHashBits = 12;
  std::uint8_t ring[kRingSize + kLongestMatch];
  Link child[kNodes][2];
  Link parent[kRingSize + 1];
  Link prefixRoot[1 << kPrefixBits];
  // The newest position seen for each hash of a whole string: when that
  // position is still in its tree and holds the same string, it is the node
  // the search would stop at, and the search can be skipped.
  Link newest[1 << kHashBits];
  int matchPosition = 0;
  int matchLength = 0;
  // The position inserted last and its entries in the tables.
  int lastInserted = kNil;
  Link* lastSeen = &newest[0];
  Link* lastRoot = &prefixRoot[0];
  // The node of a run of one byte, still under the label of the run's first
  // position, and the position it stands for now.
  int runNode = kNil;
  int runEnd = kNil;

  // The string at previous + 1 is the same as at previous, inserted last.
  void Follow(int previous) {
    if (runNode == kNil) runNode = previous;
    runEnd = (previous + 1) & (kRingSize - 1);
    lastInserted = runEnd;
  }

  // Whether the 18 bytes at s are all c.
  static bool SameByte(const std::uint8_t* s, std::uint8_t c) {
    const std::uint64_t run = c * 0x0101010101010101u;
    std::uint16_t end;
    std::memcpy(&end, s + 16, sizeof end);
    return ((LoadWord(s) ^ run) | (LoadWord(s + 8) ^ run) | (end ^ (run & 0xFFFF))) == 0;
  }

  void Settle() {
    if (runNode == kNil) return;
    *lastSeen = static_cast<Link>(runEnd);
    Replace(runNode, runEnd, *lastRoot);
    runNode = kNil;
  }

  Link& Right(int p) { return child[p][kAfter]; }
  Link& Left(int p) { return child[p][kBefore]; }

  // The entry for the string beginning with these bytes (at least 8).
  Link& PrefixRoot(const std::uint8_t* string) {
    const std::uint64_t prefix = LoadWord(string) & kPrefixMask;
    return prefixRoot[(prefix * 0x9E3779B97F4A7C15u) >> (64 - kPrefixBits)];
  }

  void Init() {
    for (int i = kRingSize; i < kNodes; ++i) Right(i) = Left(i) = kNil;
    for (Link& q : parent) q = kNil;
    for (Link& q : newest) q = kNil;
    for (Link& q : prefixRoot) q = kNil;
    std::memset(ring, kRingFill, sizeof ring);
  }

  // r takes the place of p, whose string is the same.
  void Replace(int p, int r, Link& root) {
    const int up = parent[p];
    parent[r] = static_cast<Link>(up);
    Left(r) = Left(p);
    Right(r) = Right(p);
    parent[Left(p)] = static_cast<Link>(r);
    parent[Right(p)] = static_cast<Link>(r);
    child[up][Right(up) == p ? kAfter : kBefore] = static_cast<Link>(r);
    parent[p] = kNil;
    root = Select<Link>(root == p, static_cast<Link>(r), root);
  }

  // The way down from node `at`: the node it stops at, which side the string
  // goes to or whether it equals that node, the first node met with the
  // string's prefix (kNil if none) and, when kFindMatch, the longest match
  // met (the first among equals). A search that starts at the root of the
  // string's prefix (kFromPrefixRoot) has met that prefix first at `at` and
  // need not watch for it on the way.
  //
  // A node equal to the key is not looked for on the way: past it the search
  // would go after it and then before every node down to a leaf, so it is the
  // last node passed on its after side, checked once at the end. The nodes
  // met past it change neither the longest match nor the prefix's first node.
  struct Descent {
    int node, found;
    bool after, equal;
    int position, length;
  };
  template <bool kFindMatch, bool kFromPrefixRoot>
  Descent Descend(const std::uint8_t* string, const Tail& key, int at) const {
    const std::uint8_t* const text = ring;
    const auto* const links = reinterpret_cast<const std::uint8_t*>(child);
    const std::uint64_t keyLastPlusOne = key.last + 1;
    const __m128i keyBytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(string + 1));
    std::size_t p = static_cast<std::size_t>(at);
    std::size_t lastAfter = kNil;
    std::size_t found = kNil;
    std::size_t met = 0;
    int position = 0;
    int longest = 0;
    for (;;) {
      std::uint32_t pair;
      std::memcpy(&pair, links + 4 * p, sizeof pair);
      const std::uint64_t head = __builtin_bswap64(LoadWord(text + p + 1));
      const std::uint64_t middle = __builtin_bswap64(LoadWord(text + p + 9));
      const std::uint64_t last = text[p + 17];
      if (!kFromPrefixRoot) FollowUntilPrefix<kPrefix>(head, key.head, p, found, met);
      if (kFindMatch) {
        // Bit i of same: byte i + 1 of the two strings is the same.
        const __m128i nodeBytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + p + 1));
        const unsigned same =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(keyBytes, nodeBytes))) |
            static_cast<unsigned>(last == key.last) << 16;
        const int length = 1 + __builtin_ctz(same ^ 0x3FFFFu);
        const bool longer = length > longest;
        position = longer ? static_cast<int>(p) : position;
        longest = longer ? length : longest;
      }
      const std::size_t next = StepDown(last, middle, head, keyLastPlusOne, key.middle, key.head, p,
                                        pair >> 16, pair & 0xFFFF, lastAfter);
      if (next == kNil) break;
      p = next;
    }
    const bool equal = (lastAfter != kNil) & (Tail(&text[lastAfter]) == key);
    const int first =
        kFromPrefixRoot ? at : static_cast<int>(Select<std::size_t>(met != 0, found, kNil));
    if (equal) return {static_cast<int>(lastAfter), first, true, true, position, longest};
    return {static_cast<int>(p), first, lastAfter == p, false, position, longest};
  }

  // Adds the string at r to its tree and, when kFindMatch, leaves the longest
  // match found on the way (the first met among equals); the encoder asks for
  // it only at the start of an item. A full-length match takes the older
  // node's place in the tree.
  template <bool kFindMatch>
  __attribute__((always_inline)) void Insert(int r, const std::uint8_t* string) {
    // Inside a run of one byte the string is the one inserted just before,
    // at r - 1, which it replaces. The node keeps its old label until the run
    // ends or the ring is about to overwrite that position (Settle).
    const int previous = (r - 1) & (kRingSize - 1);
    const bool follows = lastInserted == previous;
    lastInserted = r;
    const std::uint8_t* const bytes = string;
    const std::uint64_t run = bytes[0] * 0x0101010101010101u;
    if (follows && ((LoadWord(bytes + 1) ^ run) | (LoadWord(bytes + 9) ^ run) |
                    (bytes[17] ^ bytes[0]) | (ring[previous] ^ bytes[0])) == 0) {
      if (kFindMatch) {
        matchPosition = previous;
        matchLength = kLongestMatch;
      }
      Follow(previous);
      return;
    }
    Settle();
    const Tail key(bytes);
    Link& root = PrefixRoot(bytes);
    lastRoot = &root;
    Right(r) = Left(r) = kNil;
    Link& seen = newest[Hash(key)];
    lastSeen = &seen;
    const int same = seen;
    seen = static_cast<Link>(r);
    // One test for the lot: a branch for each condition costs more.
    if ((same != kNil) & (parent[same] != kNil) & (ring[same] == bytes[0]) &
        (Tail(&ring[same]) == key)) {
      if (kFindMatch) {
        matchPosition = same;
        matchLength = kLongestMatch;
      }
      Replace(same, r, root);
      return;
    }
    const int tree = kRingSize + 1 + bytes[0];
    const int top = Right(tree);
    if (top == kNil) {
      Right(tree) = static_cast<Link>(r);
      parent[r] = static_cast<Link>(tree);
      root = static_cast<Link>(r);
      if (kFindMatch) matchLength = 0;
      return;
    }
    // The entry is used only when it holds this prefix; the search from there
    // meets that root first and puts it back.
    const int known = root;
    const bool useKnown =
        (known != kNil) & (((LoadWord(&ring[known]) ^ LoadWord(bytes)) & kPrefixMask) == 0);
    const Descent d = useKnown ? Descend<kFindMatch, true>(bytes, key, known)
                               : Descend<kFindMatch, false>(bytes, key, top);
    root = static_cast<Link>(d.found == kNil ? r : d.found);
    if (kFindMatch) {
      matchPosition = d.position;
      matchLength = d.length;
    }
    if (d.equal) {
      Replace(d.node, r, root);
    } else {
      child[d.node][d.after ? kAfter : kBefore] = static_cast<Link>(r);
      parent[r] = static_cast<Link>(d.node);
    }
  }

  // Byte c goes to ring position p (and to its mirror).
  void Put(int p, std::uint8_t c) {
    ring[p] = c;
    if (p < kLongestMatch - 1) ring[p + kRingSize] = c;
  }

  // The ring takes kLongestMatch more bytes c at s while the strings at r
  // onwards follow the run (see Follow). Where none of the positions
  // overwritten is in a tree, which is the rule inside a long run, the bytes
  // are simply stored; else each position goes by Remove first.
  void FollowRun(int s, int r, std::uint8_t c) {
    if (s + kLongestMatch <= kRingSize) {
      bool untouched = runNode < s || runNode >= s + kLongestMatch;
      for (int k = 0; k < kLongestMatch; ++k) untouched &= parent[s + k] == kNil;
      if (untouched) {
        std::memset(&ring[s], c, kLongestMatch);
        if (s < kLongestMatch - 1) std::memset(&ring[s + kRingSize], c, kLongestMatch - 1 - s);
        if (runNode == kNil) runNode = r;
        Follow((r + kLongestMatch - 1) & (kRingSize - 1));
        return;
      }
    }
    for (int k = 0; k < kLongestMatch; ++k) {
      Advance(s, r, c);
      Follow((r - 1) & (kRingSize - 1));
    }
  }

  // The ring takes byte c in place of its oldest string s; the newest string
  // r moves on by one.
  __attribute__((always_inline)) void Advance(int& s, int& r, std::uint8_t c) {
    Remove(s);
    Put(s, c);
    s = (s + 1) & (kRingSize - 1);
    r = (r + 1) & (kRingSize - 1);
  }

  // Takes position p out of its tree (the ring is about to overwrite it).
  void Remove(int p) {
    if (p == runNode) Settle();
    const int up = parent[p];
    if (up == kNil) return;
    Link& root = PrefixRoot(&ring[p]);
    root = Select<Link>(root == p, kNil, root);
    // A node with one child or none gives way to that child, one with two to
    // the last node of its left subtree. Which case it is is as good as
    // random, so only the walk to that last node branches; the stores the
    // other cases skip go to kNil's unused entries.
    const int before = Left(p);
    const int after = Right(p);
    const bool two = (before != kNil) & (after != kNil);
    int q = Select(before == kNil, after, before);
    if (two & (Right(q) != kNil)) {
      do {
        q = Right(q);
      } while (Right(q) != kNil);
      Right(parent[q]) = Left(q);
      parent[Left(q)] = parent[q];
      Left(q) = static_cast<Link>(before);
      parent[before] = static_cast<Link>(q);
      // q rises above the nodes it passed on the way down, the root of its
      // own prefix perhaps among them.
      Link& risen = PrefixRoot(&ring[q]);
      risen = Select<Link>(risen == q, risen, kNil);
    }
    Right(Select(two, q, kNil)) = static_cast<Link>(after);
    parent[Select(two, after, kNil)] = static_cast<Link>(q);
    parent[q] = static_cast<Link>(up);
    child[up][Right(up) == p ? kAfter : kBefore] = q;
    parent[p] = kNil;
  }
};

// Insert out of line, for the first strings and the end of the input: the
// last string an item consumes is where the next item's match is sought.
__attribute__((noinline)) void InsertNext(MatchTrees& t, int r, bool itemEnds) {
  if (itemEnds) {
    t.Insert<true>(r, &t.ring[r]);
  } else {
    t.Insert<false>(r, &t.ring[r]);
  }
}

// The trees come from the page writer's memory, so that their lack is met
// like any other of the writer's.
static_assert(std::is_trivially_destructible_v<MatchTrees>, "freed without a destructor");
struct TreesFree {
  void operator()(MatchTrees* trees) const { os::CrtFree(trees); }
};
MatchTrees* NewMatchTrees() {
  void* block = os::CrtAlloc(sizeof(MatchTrees));
  return block != nullptr ? new (block) MatchTrees : nullptr;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> LzssEncode(const std::uint8_t* bytes, std::size_t length) {
  if (bytes == nullptr || length == 0) return std::nullopt;
  std::unique_ptr<MatchTrees, TreesFree> trees(NewMatchTrees());
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
  for (int i = 1; i <= kLongestMatch; ++i) InsertNext(t, r - i, false);
  InsertNext(t, r, true);

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
    if (consumed == kLongestMatch && t.matchPosition == ((r - 1) & (kRingSize - 1)) &&
        length - next >= kLongestMatch && t.SameByte(bytes + next, t.ring[r])) {
      // Inside a run that goes on for the whole item: every string the item
      // adds is the one before it (MatchTrees::Insert), and so is the next
      // item's match.
      t.FollowRun(s, r, t.ring[r]);
      s = (s + kLongestMatch) & (kRingSize - 1);
      r = (r + kLongestMatch) & (kRingSize - 1);
      next += kLongestMatch;
      t.matchPosition = (r - 1) & (kRingSize - 1);
      continue;
    }
    // The item's strings go into the trees; its last one is where the next
    // item's match is sought.
    if (length - next >= static_cast<std::size_t>(consumed)) {
      for (int i = 1; i < consumed; ++i) {
        t.Advance(s, r, bytes[next++]);
        t.Insert<false>(r, &t.ring[r]);
      }
      t.Advance(s, r, bytes[next++]);
      t.Insert<true>(r, &t.ring[r]);
      continue;
    }
    // The input ends inside the item: the look-ahead shrinks.
    int i = 0;
    for (; next < length; ++i) {
      t.Advance(s, r, bytes[next++]);
      InsertNext(t, r, false);
    }
    for (; i < consumed; ++i) {
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
