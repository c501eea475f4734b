#!/usr/bin/env python3
"""Derives the Han Xin reader's tables from symbols that zint draws.

zint is used as a black box: only the module matrices it returns are
studied. Steps, each checked before the next relies on it:

 1. Alignment lines: modules that stay the same over many random payloads,
    levels and masks are function modules; outside the four 9 x 9 corner
    areas they form lines k modules apart, counted from the top-right
    corner. k per version is read off the first constant dark row, and the
    line rule of FunctionModules() must cover only constant modules.
 2. Function information: its 68 corner modules are correlated with the
    28 bits that version, level and mask give after the GF(16) check
    symbols; every bit must land on a module in both copies.
 3. Masks, placement and interleaving: the data modules, unmasked and read
    row by row, give codewords that, regrouped from 13 columns, split into
    Reed-Solomon blocks (GF(256), polynomial 355, first root 1) with zero
    syndromes. Every version, level and mask is drawn with random data and
    must split; the data codewords must carry the payload.
 4. Block tables: the split of step 3, checked against the largest binary
    payload zint accepts.

Writes src/barcode/hanxin_tables.cpp. Run from the repository root:
    python3 tools/hanxin_tables/derive.py
(needs a C compiler and zint's library and header).
"""
import os
import random
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
OUT = os.path.join(ROOT, 'src', 'barcode', 'hanxin_tables.cpp')


class Zint:
    def __init__(self):
        self.exe = os.path.join(tempfile.mkdtemp(), 'zint_matrix')
        subprocess.check_call(['cc', '-O2', os.path.join(HERE, 'zint_matrix.c'), '-o', self.exe,
                               '-lzint'])
        self.p = subprocess.Popen([self.exe], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                  text=True, bufsize=1)
        self.caps = {}

    def draw(self, v, level, mask, data):
        self.p.stdin.write(f'{v} {level} {mask} {data.hex()}\n')
        self.p.stdin.flush()
        rc, n = map(int, self.p.stdout.readline().split())
        rows = [self.p.stdout.readline().strip() for _ in range(n)]
        if rc >= 5 or n != 2 * v + 21:
            return None
        return [[int(ch) for ch in r] for r in rows]

    def capacity(self, v, level):
        """Largest binary payload (bytes 0x80) zint fits in the version."""
        key = (v, level)
        if key not in self.caps:
            lo, hi = 0, 8000
            while lo < hi:
                mid = (lo + hi + 1) // 2
                if self.draw(v, level, 0, b'\x80' * mid) is not None:
                    lo = mid
                else:
                    hi = mid - 1
            self.caps[key] = lo
        return self.caps[key]


# --- Galois fields -----------------------------------------------------------

def make_gf(bits, poly):
    size = 1 << bits
    exp, log = [0] * (2 * size), [0] * size
    x = 1
    for i in range(size - 1):
        exp[i], log[x] = x, i
        x <<= 1
        if x & size:
            x ^= poly
    for i in range(size - 1, 2 * size):
        exp[i] = exp[i - (size - 1)]
    return exp, log


GF16 = make_gf(4, 19)
GF256 = make_gf(8, 355)


def mul(gf, a, b):
    return 0 if a == 0 or b == 0 else gf[0][gf[1][a] + gf[1][b]]


def rs_check(gf, data, nc):
    g = [1]
    for i in range(nc):
        root = gf[0][1 + i]
        ng = [0] * (len(g) + 1)
        for j, c in enumerate(g):
            ng[j] ^= c
            ng[j + 1] ^= mul(gf, c, root)
        g = ng
    rem = list(data) + [0] * nc
    for i in range(len(data)):
        if rem[i]:
            for j in range(1, len(g)):
                rem[i + j] ^= mul(gf, g[j], rem[i])
    return rem[len(data):]


def syndromes_zero(block, nc):
    exp, log = GF256
    for i in range(nc):
        s, lr = 0, 1 + i
        for c in block:
            s = (exp[log[s] + lr] if s else 0) ^ c
        if s:
            return False
    return True


# --- the layout rules the reader uses ----------------------------------------

def corner(n, r, c):
    return (r < 9 or r >= n - 9) and (c < 9 or c >= n - 9)


def line_positions(n, k):
    """Rows (from the top) and columns (from the right) of the alignment
    lines, edges included; a line closer to the far edge than half a
    spacing merges into the edge."""
    rows = [0] + list(range(k, n - 1, k)) + [n - 1]
    cols = [n - 1] + list(range(n - 1 - k, 0, -k)) + [0]
    if len(rows) > 2 and n - 1 - rows[-2] < k // 2:
        rows.pop(-2)
    if len(cols) > 2 and cols[-2] < k // 2:
        cols.pop(-2)
    return rows, cols


def function_modules(n, k):
    s = set()

    def add(r, c):
        if 0 <= r < n and 0 <= c < n:
            s.add((r, c))
    for r in range(n):
        for c in range(n):
            if corner(n, r, c):
                s.add((r, c))
    if not k:
        return s
    rows, cols = line_positions(n, k)
    nj, ni = len(rows) - 1, len(cols) - 1
    for i in range(ni + 1):  # vertical strokes, light column on their left
        for j in range(nj):
            if (i + j) % 2 or (i == 0 and j == 0):
                continue
            for y in range(rows[j], rows[j + 1] + 1):
                add(y, cols[i])
            for y in range(rows[j] + 1, rows[j + 1]):
                add(y, cols[i] - 1)
    for j in range(nj + 1):  # horizontal strokes, light row below
        for i in range(ni):
            if (i + j) % 2 or (i == 0 and j == 0):
                continue
            for x in range(cols[i + 1] - 1, cols[i] + 1):
                add(rows[j], x)
            for x in range(cols[i + 1] - 1, cols[i]):
                add(rows[j] + 1, x)
    for i in range(1, ni):  # 3 x 2 marks where a line meets an edge alone
        x = cols[i]
        for c in (x - 1, x, x + 1):
            if i % 2:
                add(0, c), add(1, c)
            if (i + nj - 1) % 2:
                add(n - 1, c), add(n - 2, c)
    for j in range(1, nj):
        y = rows[j]
        for r in (y - 1, y, y + 1):
            if j % 2:
                add(r, n - 1), add(r, n - 2)
            if (ni - 1 + j) % 2:
                add(r, 0), add(r, 1)
    return s


def mask_bit(m, r, c):
    i, j = r + 1, c + 1
    if m == 1:
        return (i + j) % 2 == 0
    if m == 2:
        return ((i + j) % 3 + j % 3) % 2 == 0
    if m == 3:
        return (i % j + j % i + i % 3 + j % 3) % 2 == 0
    return False


def info_positions(n):
    """(row, column) of the 28 function-information bits, first copy; the
    second copy is the same turned half a turn."""
    pos = [(8, c) for c in range(8)]
    pos += [(r, 8) for r in range(8, -1, -1)]
    pos += [(r, n - 9) for r in range(9)]
    pos += [(8, n - 8), (8, n - 7)]
    return pos


def deinterleave(stream):
    """Codewords are placed 13 columns apart: the stream holds codeword 0,
    13, 26, ..., then 1, 14, ..."""
    t = len(stream)
    order = sorted(range(t), key=lambda i: (i % 13, i))
    out = [0] * t
    for p, i in enumerate(order):
        out[i] = stream[p]
    return out


def read_codewords(g, v, k, m):
    n = 2 * v + 21
    fm = function_modules(n, k)
    bits = [g[r][c] ^ mask_bit(m, r, c) for r in range(n) for c in range(n) if (r, c) not in fm]
    return [int(''.join(map(str, bits[8 * i:8 * i + 8])), 2) for i in range(len(bits) // 8)]


def split_blocks(streams, start=0):
    """Consecutive (data, check) blocks with zero syndromes in every stream,
    or None. A block of one stream may pass at two lengths (a zero codeword
    at its end) or pass one more syndrome by chance; over several streams of
    random data neither survives, and a length that leaves no split for the
    rest is given up."""
    total = len(streams[0])
    if start == total:
        return []
    for length in range(3, min(255, total - start) + 1):
        blocks = [cw[start:start + length] for cw in streams]
        if not all(syndromes_zero(block, 4) for block in blocks):
            continue
        rest = split_blocks(streams, start + length)
        if rest is None:
            continue
        nc = 4
        while nc + 1 < length and all(syndromes_zero(block, nc + 1) for block in blocks):
            nc += 1
        return [(length - nc, nc)] + rest
    return None


def random_payload(rng, cap):
    kind = rng.randrange(4)
    size = rng.randrange(1, cap + 1)
    if kind == 0:
        return bytes(rng.randrange(256) for _ in range(size))
    if kind == 1:
        return bytes(rng.choice(b'0123456789') for _ in range(size))
    if kind == 2:
        return bytes(rng.choice(b'ABCDEFGHabcdxyz0123456789 ') for _ in range(size))
    out = b''
    while len(out) + 2 <= size:
        out += bytes([rng.randrange(0xB0, 0xD8), rng.randrange(0xA1, 0xFF)])
    return out or b'1'


def fail(msg):
    sys.exit('derive: ' + msg)


def main():
    z = Zint()
    ks, tables = {}, {}
    for v in range(1, 85):
        n = 2 * v + 21
        rng = random.Random(v)
        # 1. constant modules over random payloads, levels and masks
        first, const = None, [[True] * n for _ in range(n)]
        for i in range(32):
            level, m = 1 + i % 4, (i // 4) % 4
            g = z.draw(v, level, m, random_payload(rng, z.capacity(v, level)))
            first = first or g
            for r in range(n):
                for c in range(n):
                    if g[r][c] != first[r][c]:
                        const[r][c] = False
        k = 0
        if v >= 4:
            k = next(r for r in range(9, n - 9)
                     if sum(1 for c in range(n) if const[r][c] and first[r][c]) >= 10)
        ks[v] = k
        for r, c in function_modules(n, k):
            if not const[r][c] and not corner(n, r, c):
                fail(f'version {v}: ({r}, {c}) taken as function module but varies')
        tables[v] = []
        for level in range(1, 5):
            cap = z.capacity(v, level)
            drawn = []
            for m in range(4):
                # 2. function information in both copies
                p = bytes(rng.randrange(0x80, 0x100) if i % 2 == 0 else rng.randrange(0x40)
                          for i in range(cap))
                g = z.draw(v, level, m, p)
                d = [(v + 20) >> 4, (v + 20) & 15, (level - 1) * 4 + m]
                word = ''.join(format(s, '04b') for s in d + rs_check(GF16, d, 4))
                for b, (r, c) in enumerate(info_positions(n)):
                    if g[r][c] != int(word[b]) or g[n - 1 - r][n - 1 - c] != int(word[b]):
                        fail(f'version {v} level {level} mask {m}: information bit {b}')
                drawn.append((p, deinterleave(read_codewords(g, v, k, m))))
            # 3. the codewords of all four split into correct blocks alike
            layout = split_blocks([cw for _, cw in drawn])
            if layout is None:
                fail(f'version {v} level {level}: no block split')
            for m, (p, cw) in enumerate(drawn):
                # the data codewords carry the payload
                data, at = [], 0
                for nd, nc in layout:
                    data += cw[at:at + nd]
                    at += nd + nc
                bits = '0011' + format(cap, '013b') + ''.join(format(b, '08b') for b in p)
                want = [int(bits[i:i + 8], 2) for i in range(0, len(bits) - 7, 8)]
                if data[:len(want)] != want:
                    fail(f'version {v} level {level} mask {m}: data codewords')
            # 4. one more byte must not fit in the data codewords
            if 17 + 8 * (cap + 1) <= 8 * len(data):
                fail(f'version {v} level {level}: capacity {cap} below the blocks')
            groups = []
            for b in layout:
                if groups and groups[-1][1:] == list(b):
                    groups[-1][0] += 1
                else:
                    groups.append([1, b[0], b[1]])
            tables[v].append(groups)
        print(f'version {v}: k {k}, blocks {tables[v]}', file=sys.stderr)
    write(ks, tables)


def write(ks, tables):
    lines = [
        '// Generated by tools/hanxin_tables/derive.py from symbols drawn by zint;',
        '// do not edit. Regenerate: python3 tools/hanxin_tables/derive.py',
        '#include "barcode/hanxin_tables.h"',
        '',
        'namespace barcode {',
        '',
        '// Alignment line spacing per version (index version - 1; 0: no lines).',
        'const uint8_t kHxLineSpacing[84] = {',
    ]
    vals = [str(ks[v]) for v in range(1, 85)]
    for i in range(0, 84, 14):
        lines.append('    ' + ', '.join(vals[i:i + 14]) + ',')
    lines += ['};', '',
              '// Block groups per version and level: {count, data, check} each, at most',
              '// three groups, count 0 after the last.',
              'const HxBlockGroup kHxBlocks[84][4][3] = {']
    for v in range(1, 85):
        levels = []
        for groups in tables[v]:
            if len(groups) > 3:
                fail(f'version {v}: more than three block groups')
            g = groups + [[0, 0, 0]] * (3 - len(groups))
            levels.append('{' + ', '.join('{%d, %d, %d}' % tuple(x) for x in g) + '}')
        lines.append('    {' + ', '.join(levels) + '},')
    lines += ['};', '', '}  // namespace barcode', '']
    with open(OUT, 'w') as f:
        f.write('\n'.join(lines))


if __name__ == '__main__':
    main()
