// When the cutter cuts: the list of (cut value, copies) pairs of a page, each
// pair one print block. A cut value of -1 sends no cutter command.
#pragma once

#include <cstdint>
#include <vector>

#include "frame/private_devmode.h"

namespace output {

inline constexpr std::int32_t kNoCut = -1;

struct CutPair {
  std::int32_t cutValue;
  std::int32_t copies;
  bool operator==(const CutPair& other) const {
    return cutValue == other.cutValue && copies == other.copies;
  }
};
using CutList = std::vector<CutPair>;

// LT family with post-print action 4 or 5, any other model with action 5.
bool UsesCutter(const frame::PrivateDevmode& record);

// The pairs of this page. Under cut mode 3 it also updates the running label
// count. A cut interval of 0 under cut mode 3 gives an empty list. The page
// writer prints an empty list as the single pair (kNoCut, dmCopies).
// copies and collate are the public devmode's dmCopies and dmCollate.
CutList BuildCutList(const frame::PrivateDevmode& record, std::int16_t copies, std::int16_t collate,
                     bool firstPage, bool endOfJob);

}  // namespace output
