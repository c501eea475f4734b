// Bands with any header: widths and heights of any sign and size, image sizes
// that do not match them, any bit count and colour mode, pages started or not.
// Input: one settings byte, then 16-byte band records; each band's bytes are
// as many as its biSizeImage says (the driver's promise), up to 256 KiB.
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz_job.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  PrepareFuzzWorld();
  {
    testing_support::HostJob job;
    StartFuzzJob(job, data[0]);
    std::vector<std::uint8_t> pixels;
    for (std::size_t at = 1; at + 16 <= size && at < 1 + 16 * 64; at += 16) {
      const std::uint8_t* r = data + at;
      winabi::BITMAPINFOHEADER info{};
      info.biSize = 40;
      std::memcpy(&info.biWidth, r, 4);
      std::memcpy(&info.biHeight, r + 4, 4);
      std::uint32_t bytes = 0;
      std::memcpy(&bytes, r + 8, 4);
      info.biSizeImage = bytes % (256u * 1024u);
      info.biPlanes = 1;
      info.biBitCount = r[12];
      const winabi::DWORD callbackId = r[13] & 7;
      if (r[14] & 1) job.StartPage();
      pixels.assign(info.biSizeImage, r[15]);
      winabi::IPPARAMS params{};
      params.dwSize = sizeof params;
      params.bAddPaletteEntries = (r[14] >> 1) & 1;
      winabi::BYTE* taken = nullptr;
      job.plugin->ImageProcessing(&job.devobj, pixels.data(), &info, nullptr, callbackId, &params,
                                  &taken);
    }
    job.EndDoc();
  }
  host::ResetWorld();
  return 0;
}
