// The page spool record: the packed file image of one saved page's private
// devmode fields and four public devmode fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "frame/private_devmode.h"
#include "platform/abi.h"

namespace capture {

inline constexpr std::size_t kPageSpoolRecordSize = 6700;

// Packs the record into out (kPageSpoolRecordSize bytes).
void PackPageSpoolRecord(const frame::PrivateDevmode& record, const winabi::DEVMODEW& publicDm,
                         std::uint8_t* out);
// Unpacks every field to its own place; fields the record does not carry are
// left as they were.
void UnpackPageSpoolRecord(const std::uint8_t* in, frame::PrivateDevmode* record,
                           winabi::DEVMODEW* publicDm);

// The spool record file of a PDEV in the temporary directory: devName plus
// the process and PDEV numbers, so that two PDEVs never share one.
std::u16string PageSpoolRecordPath(std::uint32_t spoolId);

}  // namespace capture
