#include "capture/page_spool.h"

#include <cstring>

#include "platform/os.h"

namespace capture {

namespace {

// Private devmode fields in the order the record holds them: (offset, size).
struct Field {
  std::uint16_t offset;
  std::uint16_t size;
};
constexpr Field kFields[] = {
    {20, 4},     {24, 6},     {32, 4},    {36, 4},     {40, 1},     {44, 4},     {48, 4},
    {52, 1},     {56, 4},     {60, 4},    {64, 8},     {72, 520},   {592, 4},    {596, 1},
    {600, 4},    {604, 4},    {608, 520}, {1128, 520}, {1648, 520}, {2168, 520}, {2688, 520},
    {3208, 520}, {3728, 520}, {4248, 1},  {5364, 1},   {5368, 4},   {5372, 260}, {5632, 520},
    {6152, 520}, {4252, 520}, {4772, 4},  {4776, 20},  {4796, 520}, {5316, 1},   {5317, 1},
    {5320, 24},  {5344, 1},   {5348, 16},
};

constexpr std::size_t PrivatePartSize() {
  std::size_t total = 0;
  for (const Field& f : kFields) total += f.size;
  return total;
}
constexpr std::size_t kPublicPart = 64 + 2 + 2 + 2;
static_assert(PrivatePartSize() == 6630);
static_assert(PrivatePartSize() + kPublicPart == kPageSpoolRecordSize);

}  // namespace

void PackPageSpoolRecord(const frame::PrivateDevmode& record, const winabi::DEVMODEW& publicDm,
                         std::uint8_t* out) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(&record);
  for (const Field& f : kFields) {
    std::memcpy(out, bytes + f.offset, f.size);
    out += f.size;
  }
  std::memcpy(out, publicDm.dmFormName, 64);
  std::memcpy(out + 64, &publicDm.dmPaperWidth, 2);
  std::memcpy(out + 66, &publicDm.dmPaperLength, 2);
  std::memcpy(out + 68, &publicDm.dmCopies, 2);
}

void UnpackPageSpoolRecord(const std::uint8_t* in, frame::PrivateDevmode* record,
                           winabi::DEVMODEW* publicDm) {
  auto* bytes = reinterpret_cast<std::uint8_t*>(record);
  for (const Field& f : kFields) {
    std::memcpy(bytes + f.offset, in, f.size);
    in += f.size;
  }
  std::memcpy(publicDm->dmFormName, in, 64);
  std::memcpy(&publicDm->dmPaperWidth, in + 64, 2);
  std::memcpy(&publicDm->dmPaperLength, in + 66, 2);
  std::memcpy(&publicDm->dmCopies, in + 68, 2);
}

std::u16string PageSpoolRecordPath(std::uint32_t spoolId) {
  auto number = [](std::uint32_t value) {
    std::u16string digits;
    do {
      digits.insert(digits.begin(), static_cast<char16_t>(u'0' + value % 10));
      value /= 10;
    } while (value != 0);
    return digits;
  };
  return os::GetTempPath() + u"devName_" + number(os::CurrentProcessId()) + u"_" + number(spoolId) +
         u".tmp";
}

}  // namespace capture
