// A saved page and a held label read back from files of any content: the
// page spool record (its own size when not 6700 bytes), the page image file
// it names (BMP headers and rows), and the held label file. Input: two
// 16-bit lengths, then the record, the image and the held label bytes.
#include <cstdint>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>

#include "capture/page_out.h"
#include "capture/page_spool.h"
#include "fuzz_job.h"

namespace {
void WriteBytes(const std::u16string& path, const std::uint8_t* data, std::size_t size) {
  std::ofstream out(host::ToUtf8(path), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 5) return 0;
  const std::size_t recordSize = std::min<std::size_t>(data[1] | (data[2] << 8), size - 5);
  const std::size_t imageSize =
      std::min<std::size_t>(data[3] | (data[4] << 8), size - 5 - recordSize);
  const std::uint8_t* record = data + 5;
  const std::uint8_t* image = record + recordSize;
  const std::uint8_t* held = image + imageSize;
  const std::size_t heldSize = size - 5 - recordSize - imageSize;
  PrepareFuzzWorld();
  {
    testing_support::HostJob job;
    StartFuzzJob(job, data[0]);
    auto* state = static_cast<capture::PdevState*>(job.devobj.pdevOEM);
    const std::u16string temp = os::GetTempPath();
    const std::u16string imagePath = temp + u"driver_page.tmp";
    WriteBytes(imagePath, image, imageSize);
    const std::u16string spoolPath = capture::PageSpoolRecordPath(state->spoolId);
    if (recordSize == capture::kPageSpoolRecordSize) {
      // A record of the right size names the image written above.
      auto saved = std::make_unique<frame::PrivateDevmode>();
      winabi::DEVMODEW savedPublic{};
      capture::UnpackPageSpoolRecord(record, saved.get(), &savedPublic);
      std::memset(saved->pageImagePath, 0, sizeof saved->pageImagePath);
      std::copy(imagePath.begin(), imagePath.begin() + std::min<std::size_t>(imagePath.size(), 259),
                saved->pageImagePath);
      std::uint8_t packed[capture::kPageSpoolRecordSize];
      capture::PackPageSpoolRecord(*saved, savedPublic, packed);
      WriteBytes(spoolPath, packed, sizeof packed);
    } else {
      WriteBytes(spoolPath, record, recordSize);
    }
    capture::WriteImage_PageOut_Spooler_FromTmp(&job.devobj, true);

    const std::u16string heldPath = temp + u"driver_held.tmp";
    WriteBytes(heldPath, held, heldSize);
    std::memset(job.record.heldLabelPath, 0, sizeof job.record.heldLabelPath);
    std::copy(heldPath.begin(), heldPath.end(), job.record.heldLabelPath);
    capture::WriteHeldLabel(nullptr, nullptr, &job.devobj, true);
  }
  host::ResetWorld();
  return 0;
}
