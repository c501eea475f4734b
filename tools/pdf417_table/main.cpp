// pdf417_table: derives the bar-space patterns of the 3 x 929 PDF417
// codewords from symbols zint draws, and writes or checks the table source.
//
// zint is only called: each symbol carries digits whose codewords this tool
// computes itself (numeric compaction, padding, the length descriptor), check
// codewords from its own GF(929) code and the row indicators of every row.
// Reading each row's 17-module patterns against those values gives pattern
// -> value per cluster (row mod 3). Random symbols are drawn until every
// entry has been seen twice; any disagreement between two observations, or a
// pattern that breaks the codeword shape rules, stops the tool: it means the
// codeword model here is wrong, and no table is written.
//
//   pdf417_table --write <file>   writes the table source
//   pdf417_table --check <file>   compares with the table in <file>; exit 1
//                                 when any entry differs
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/barcode_fixtures.h"
#include "support/pdf417_ecc.h"

namespace {

constexpr int kClusters = 3;
constexpr int kValues = 929;
constexpr uint32_t kStart = 0x1fea8;         // 8:1:1:1:1:1:1:3
constexpr uint32_t kStop = 0x3fa29;          // 7:1:1:3:1:1:1:2:1, 18 modules
constexpr int kFixedModules = 17 + 17 + 17 + 18;  // start, two indicators, stop

// "1" + digits as a base-900 number, most significant first.
std::vector<int32_t> Base900(const std::string& digits) {
  std::vector<int> dec{1};
  for (char c : digits) dec.push_back(c - '0');
  std::vector<int32_t> out;
  while (!(dec.size() == 1 && dec[0] == 0)) {
    std::vector<int> quotient;
    int rem = 0;
    for (int d : dec) {
      rem = rem * 10 + d;
      if (!quotient.empty() || rem / 900 != 0) quotient.push_back(rem / 900);
      rem %= 900;
    }
    out.insert(out.begin(), rem);
    dec = quotient.empty() ? std::vector<int>{0} : quotient;
  }
  return out;
}

// The data codewords of a digit string in numeric compaction, padded to
// dataCount with the length descriptor first; empty when it does not fit.
std::vector<int32_t> NumericData(const std::string& digits, int dataCount) {
  std::vector<int32_t> data{dataCount, 902};
  for (size_t at = 0; at < digits.size(); at += 44) {
    const std::vector<int32_t> group = Base900(digits.substr(at, 44));
    data.insert(data.end(), group.begin(), group.end());
  }
  if (static_cast<int>(data.size()) > dataCount) return {};
  data.resize(dataCount, 900);
  return data;
}

// Left and right row indicator values of row r of a symbol of R rows, C data
// columns and security level E.
void RowIndicators(int r, int rows, int columns, int level, int32_t* left, int32_t* right) {
  const int32_t base = 30 * (r / 3);
  const int32_t rowPart = (rows - 1) / 3, levelPart = 3 * level + (rows - 1) % 3;
  const int32_t columnPart = columns - 1;
  switch (r % 3) {
    case 0: *left = base + rowPart, *right = base + columnPart; break;
    case 1: *left = base + levelPart, *right = base + rowPart; break;
    default: *left = base + columnPart, *right = base + levelPart; break;
  }
}

// 4 bars and 4 spaces, bar first, widths 1-6, and the cluster the bar widths
// give ((b1 - b2 + b3 - b4 + 9) mod 9 = 0, 3 or 6).
bool ShapeFits(uint32_t pattern, int cluster) {
  int widths[8] = {}, run = 0;
  for (int bit = 16; bit >= 0; --bit) {
    const int want = run % 2 == 0 ? 1 : 0;  // bars at even runs
    if (static_cast<int>(pattern >> bit & 1) == want) {
      ++widths[run];
    } else if (++run > 7) {
      return false;
    } else {
      ++widths[run];
    }
  }
  if (run != 7) return false;
  for (int w : widths)
    if (w < 1 || w > 6) return false;
  return (widths[0] - widths[2] + widths[4] - widths[6] + 9) % 9 == 3 * cluster;
}

uint32_t Bits(const std::vector<uint8_t>& row, size_t from, int count) {
  uint32_t v = 0;
  for (int i = 0; i < count; ++i) v = v << 1 | row[from + i];
  return v;
}

struct Derivation {
  uint32_t pattern[kClusters][kValues] = {};
  int seen[kClusters][kValues] = {};
  std::map<uint32_t, int> owner;  // pattern -> cluster * 1000 + value
  int symbols = 0;
  long observations = 0;

  bool Complete(int times) const {
    for (int c = 0; c < kClusters; ++c)
      for (int v = 0; v < kValues; ++v)
        if (seen[c][v] < times) return false;
    return true;
  }

  // False (with a message) on a conflict.
  bool Observe(int cluster, int32_t value, uint32_t bits, const std::string& where) {
    if (value < 0 || value >= kValues || !ShapeFits(bits, cluster)) {
      std::fprintf(stderr, "%s: pattern %05x for cluster %d value %d breaks the shape rules\n",
                   where.c_str(), bits, cluster, value);
      return false;
    }
    const int key = cluster * 1000 + value;
    auto [it, fresh] = owner.emplace(bits, key);
    if (it->second != key || (seen[cluster][value] > 0 && pattern[cluster][value] != bits)) {
      std::fprintf(stderr, "%s: pattern %05x seen as cluster %d value %d, earlier %d/%d (%05x)\n",
                   where.c_str(), bits, cluster, value, it->second / 1000, it->second % 1000,
                   pattern[cluster][value]);
      return false;
    }
    (void)fresh;
    pattern[cluster][value] = bits;
    ++seen[cluster][value];
    ++observations;
    return true;
  }

  // Draws one symbol and records its patterns. False on a conflict; true
  // also when zint refuses the payload (nothing learned).
  bool Symbol(const std::string& digits, int columns, int level) {
    const auto rows = fixtures::EncodePdf417(digits, columns, level);
    if (rows.empty()) return true;
    ++symbols;
    const int width = static_cast<int>(rows[0].size());
    const int R = static_cast<int>(rows.size()), C = (width - kFixedModules) / 17;
    const std::string where = "symbol " + std::to_string(symbols) + " (" +
                              std::to_string(digits.size()) + " digits, " + std::to_string(C) +
                              " columns, level " + std::to_string(level) + ")";
    if (C != columns || (width - kFixedModules) % 17 != 0) {
      std::fprintf(stderr, "%s: %d modules wide\n", where.c_str(), width);
      return false;
    }
    const int k = 2 << level;
    const std::vector<int32_t> data = NumericData(digits, R * C - k);
    if (data.empty()) {
      std::fprintf(stderr, "%s: %d rows cannot hold the digits\n", where.c_str(), R);
      return false;
    }
    const std::vector<int32_t> stream = fixtures::Pdf417WithEcc(data, k);
    for (int r = 0; r < R; ++r) {
      const std::vector<uint8_t>& row = rows[r];
      if (Bits(row, 0, 17) != kStart || Bits(row, width - 18, 18) != kStop) {
        std::fprintf(stderr, "%s: row %d lacks its start or stop\n", where.c_str(), r);
        return false;
      }
      std::vector<int32_t> values(1, 0);
      values.insert(values.end(), stream.begin() + r * C, stream.begin() + (r + 1) * C);
      values.push_back(0);
      RowIndicators(r, R, C, level, &values.front(), &values.back());
      for (int i = 0; i < C + 2; ++i)
        if (!Observe(r % 3, values[i], Bits(row, 17 + 17 * i, 17),
                     where + " row " + std::to_string(r) + " codeword " + std::to_string(i)))
          return false;
    }
    return true;
  }
};

std::string TableSource(const Derivation& d) {
  std::ostringstream out;
  out << "// Generated by tools/pdf417_table (pdf417_table --write); do not edit.\n"
         "// The bar-space patterns of the PDF417 codewords, read back from symbols\n"
         "// drawn by zint whose codeword values the tool computes itself.\n"
         "#include <cstdint>\n\n#include \"barcode/pdf417.h\"\n\nnamespace barcode {\n\n"
         "// Patterns as 17 modules, first module in bit 16, 1 = bar; index = codeword.\n"
         "extern const uint32_t kPdf417Patterns[3][929] = {\n";
  char hex[16];
  for (int c = 0; c < kClusters; ++c) {
    out << "    {";
    for (int v = 0; v < kValues; ++v) {
      std::snprintf(hex, sizeof hex, "0x%05x", d.pattern[c][v]);
      out << (v % 10 == 0 ? "\n        " : " ") << hex << (v + 1 < kValues ? "," : "");
    }
    out << "\n    },\n";
  }
  out << "};\n\n}  // namespace barcode\n";
  return out.str();
}

// The hex literals of a table source, in order.
std::vector<uint32_t> TableIn(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  const std::string s = text.str();
  std::vector<uint32_t> values;
  for (size_t at = s.find("0x"); at != std::string::npos; at = s.find("0x", at + 2))
    values.push_back(static_cast<uint32_t>(std::stoul(s.substr(at + 2, 8), nullptr, 16)));
  return values;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc == 3 ? argv[1] : "";
  if (mode != "--write" && mode != "--check") {
    std::fprintf(stderr, "usage: pdf417_table --write|--check <table source>\n");
    return 2;
  }
  Derivation d;
  fixtures::Rng rng(417);
  // Each entry twice, from at most 5000 symbols (about 60 are needed).
  while (!d.Complete(2)) {
    if (d.symbols >= 5000) {
      std::fprintf(stderr, "not every codeword seen after %d symbols\n", d.symbols);
      return 1;
    }
    const int level = rng.Uniform(0, 8), columns = rng.Uniform(1, 30);
    // Room for data below the 928-codeword and 90-row limits.
    const int room = std::min(928, 90 * columns) - (2 << level) - 2;
    if (room < 15) continue;
    std::string digits(rng.Uniform(44, room / 15 * 44), '0');
    for (char& c : digits) c = static_cast<char>('0' + rng.Uniform(0, 9));
    if (!d.Symbol(digits, columns, level)) return 1;
  }
  std::printf("%d symbols, %ld codewords read, every entry seen at least twice, no conflict\n",
              d.symbols, d.observations);
  const std::string path = argv[2];
  if (mode == "--write") {
    std::ofstream(path) << TableSource(d);
    return 0;
  }
  const std::vector<uint32_t> table = TableIn(path);
  if (table.size() != static_cast<size_t>(kClusters * kValues)) {
    std::fprintf(stderr, "%s holds %zu patterns, not %d\n", path.c_str(), table.size(),
                 kClusters * kValues);
    return 1;
  }
  int differ = 0;
  for (int c = 0; c < kClusters; ++c)
    for (int v = 0; v < kValues; ++v)
      if (table[c * kValues + v] != d.pattern[c][v]) {
        if (++differ <= 10)
          std::printf("cluster %d value %d: %05x in the file, %05x derived\n", c, v,
                      table[c * kValues + v], d.pattern[c][v]);
      }
  std::printf("%d of %d entries differ\n", differ, kClusters * kValues);
  return differ == 0 ? 0 : 1;
}
