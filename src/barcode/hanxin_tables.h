// Han Xin tables read off symbols zint draws (tools/hanxin_tables/derive.py
// writes hanxin_tables.cpp; docs/ARCHITECTURE.md says how they were found).
#pragma once

#include <cstdint>

namespace barcode {

struct HxBlockGroup {
  uint8_t count, data, check;  // blocks of this shape, data and check codewords each
};

// Distance between alignment lines per version (index version - 1); 0 for
// versions without them.
extern const uint8_t kHxLineSpacing[84];

// Block groups per version and level (index version - 1, level 0-3), in
// codeword order; a group with count 0 ends the list.
extern const HxBlockGroup kHxBlocks[84][4][3];

}  // namespace barcode
