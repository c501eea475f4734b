// PDF417 check codewords computed here, for the stream tests and the tool
// that derives the codeword table from drawn symbols.
#pragma once

#include <cstdint>
#include <vector>

namespace fixtures {

// The data followed by k check codewords: the remainder of the data by
// (x - 3)(x - 3^2)...(x - 3^k) over GF(929), negated, so that the whole
// stream has those roots.
inline std::vector<int32_t> Pdf417WithEcc(std::vector<int32_t> data, int k) {
  std::vector<int64_t> g{1};
  int64_t root = 1;
  for (int i = 1; i <= k; ++i) {
    root = root * 3 % 929;
    std::vector<int64_t> next(g.size() + 1, 0);
    for (size_t j = 0; j < g.size(); ++j) {
      next[j] = (next[j] + g[j]) % 929;
      next[j + 1] = (next[j + 1] + 929 - g[j] * root % 929) % 929;
    }
    g = next;
  }
  std::vector<int64_t> rem(data.begin(), data.end());
  rem.resize(data.size() + k, 0);
  for (size_t i = 0; i < data.size(); ++i) {
    const int64_t f = rem[i];
    for (size_t j = 1; j < g.size(); ++j) rem[i + j] = (rem[i + j] + 929 - f * g[j] % 929) % 929;
  }
  const size_t n = data.size();
  for (int j = 0; j < k; ++j) data.push_back(static_cast<int32_t>((929 - rem[n + j]) % 929));
  return data;
}

}  // namespace fixtures
