// The page spool record: its packed layout byte for byte, the unpacking that
// returns every carried byte and leaves the rest alone, and its file name.
#include "capture/page_spool.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/os.h"

namespace {

// Where each packed field comes from: the private record, or the public
// devmode (offsets within DEVMODEW: dmFormName 102, dmPaperWidth 82,
// dmPaperLength 80, dmCopies 86).
struct PackedField {
  std::size_t packedAt, size, from;
  bool fromPublic;
};
constexpr PackedField kLayout[] = {
    {0, 4, 20, false},        {4, 6, 24, false},        {10, 4, 32, false},
    {14, 4, 36, false},       {18, 1, 40, false},       {19, 4, 44, false},
    {23, 4, 48, false},       {27, 1, 52, false},       {28, 4, 56, false},
    {32, 4, 60, false},       {36, 8, 64, false},       {44, 520, 72, false},
    {564, 4, 592, false},     {568, 1, 596, false},     {569, 4, 600, false},
    {573, 4, 604, false},     {577, 520, 608, false},   {1097, 520, 1128, false},
    {1617, 520, 1648, false}, {2137, 520, 2168, false}, {2657, 520, 2688, false},
    {3177, 520, 3208, false}, {3697, 520, 3728, false}, {4217, 1, 4248, false},
    {4218, 1, 5364, false},   {4219, 4, 5368, false},   {4223, 260, 5372, false},
    {4483, 520, 5632, false}, {5003, 520, 6152, false}, {5523, 520, 4252, false},
    {6043, 4, 4772, false},   {6047, 20, 4776, false},  {6067, 520, 4796, false},
    {6587, 1, 5316, false},   {6588, 1, 5317, false},   {6589, 24, 5320, false},
    {6613, 1, 5344, false},   {6614, 16, 5348, false},  {6630, 64, 102, true},
    {6694, 2, 82, true},      {6696, 2, 80, true},      {6698, 2, 86, true},
};

// Every source byte gets a 16-bit tag (public bytes apart from private ones);
// pass 0 fills the low bytes of the tags and pass 1 the high bytes, so the two
// passes together tell every source byte from every other.
constexpr std::uint16_t kPublicTag = 0x4000;
std::uint8_t TagByte(int pass, std::size_t tag) {
  return static_cast<std::uint8_t>(pass == 0 ? tag & 0xFF : tag >> 8);
}

TEST(PageSpoolRecord, PackedLayoutAndRoundTripOfEveryByte) {
  std::vector<bool> carried(sizeof(frame::PrivateDevmode)), carriedPublic(sizeof(winabi::DEVMODEW));
  std::size_t next = 0;
  for (const PackedField& f : kLayout) {
    ASSERT_EQ(f.packedAt, next);  // the layout leaves no packed byte unchecked
    next += f.size;
    for (std::size_t k = 0; k < f.size; ++k)
      (f.fromPublic ? carriedPublic : carried)[f.from + k] = true;
  }
  ASSERT_EQ(next, capture::kPageSpoolRecordSize);

  for (int pass = 0; pass < 2; ++pass) {
    frame::PrivateDevmode record;
    winabi::DEVMODEW dm;
    auto* src = reinterpret_cast<std::uint8_t*>(&record);
    auto* srcPublic = reinterpret_cast<std::uint8_t*>(&dm);
    for (std::size_t i = 0; i < sizeof record; ++i) src[i] = TagByte(pass, i);
    for (std::size_t i = 0; i < sizeof dm; ++i) srcPublic[i] = TagByte(pass, kPublicTag + i);

    // The packer writes exactly the record's size: the guard behind stays.
    std::vector<std::uint8_t> packed(capture::kPageSpoolRecordSize + 16, 0xA5);
    capture::PackPageSpoolRecord(record, dm, packed.data());
    std::vector<std::size_t> wrongPacked;
    for (const PackedField& f : kLayout) {
      for (std::size_t k = 0; k < f.size; ++k) {
        const std::size_t tag = (f.fromPublic ? kPublicTag : 0) + f.from + k;
        if (packed[f.packedAt + k] != TagByte(pass, tag)) wrongPacked.push_back(f.packedAt + k);
      }
    }
    for (std::size_t i = capture::kPageSpoolRecordSize; i < packed.size(); ++i) {
      if (packed[i] != 0xA5) wrongPacked.push_back(i);
    }
    EXPECT_EQ(wrongPacked, std::vector<std::size_t>{}) << "pass " << pass;

    // Unpacking into records holding other bytes: carried bytes come back,
    // every other byte is left as it was.
    frame::PrivateDevmode back;
    winabi::DEVMODEW dmBack;
    auto* got = reinterpret_cast<std::uint8_t*>(&back);
    auto* gotPublic = reinterpret_cast<std::uint8_t*>(&dmBack);
    for (std::size_t i = 0; i < sizeof back; ++i) got[i] = static_cast<std::uint8_t>(~src[i]);
    for (std::size_t i = 0; i < sizeof dmBack; ++i)
      gotPublic[i] = static_cast<std::uint8_t>(~srcPublic[i]);
    capture::UnpackPageSpoolRecord(packed.data(), &back, &dmBack);
    std::vector<std::size_t> wrongPrivate, wrongPublic;
    for (std::size_t i = 0; i < sizeof back; ++i) {
      if (got[i] != (carried[i] ? src[i] : static_cast<std::uint8_t>(~src[i])))
        wrongPrivate.push_back(i);
    }
    for (std::size_t i = 0; i < sizeof dmBack; ++i) {
      const std::uint8_t kept = static_cast<std::uint8_t>(~srcPublic[i]);
      if (gotPublic[i] != (carriedPublic[i] ? srcPublic[i] : kept)) wrongPublic.push_back(i);
    }
    EXPECT_EQ(wrongPrivate, std::vector<std::size_t>{}) << "pass " << pass;
    EXPECT_EQ(wrongPublic, std::vector<std::size_t>{}) << "pass " << pass;
  }
}

std::u16string Decimal(std::uint32_t value) {
  const std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

// The record of a PDEV is devName_<process id>_<PDEV number>.tmp in the
// temporary directory; the numbers run through every digit and both sides of
// each added digit up to the largest PDEV number.
TEST(PageSpoolRecord, FileNameCarriesProcessAndPdevNumbers) {
  const std::u16string head =
      os::GetTempPath() + u"devName_" + Decimal(os::CurrentProcessId()) + u"_";
  const struct {
    std::uint32_t pdev;
    const char16_t* digits;
  } cases[] = {{0, u"0"},
               {1, u"1"},
               {9, u"9"},
               {10, u"10"},
               {99, u"99"},
               {100, u"100"},
               {1234567890, u"1234567890"},
               {4294967295u, u"4294967295"}};
  for (const auto& c : cases) {
    EXPECT_EQ(capture::PageSpoolRecordPath(c.pdev), head + c.digits + u".tmp") << c.pdev;
  }
}

}  // namespace
