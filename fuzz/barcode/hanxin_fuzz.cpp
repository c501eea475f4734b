// Han Xin stages on arbitrary input. First byte even: the rest is a data
// codeword stream for the data stage. 1 modulo 4: the rest is a finder list
// (four bytes a point: x, y, size, orientation in 1/256 turns; at most the
// list's 1000) for the post stage over a blank page. 3 modulo 4: the grid
// reader on a version (second byte) whose modules are the rest's bits,
// repeated. Each answers with a code and stays inside its buffers.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "barcode/group_stages.h"
#include "barcode/hanxin.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace barcode;
  if (size < 1) return 0;
  if ((data[0] & 1) == 0) {
    char text[kReaderTextSize];
    std::int32_t length = -1;
    const std::int32_t code = DecodeHanXinData(data + 1, static_cast<std::int32_t>(size - 1), text,
                                               sizeof text, &length);
    if ((code != 0 && code != -3) || length < 0 || length >= kReaderTextSize ||
        text[length] != '\0')
      std::abort();
    return 0;
  }
  if ((data[0] & 3) == 3) {
    if (size < 3) return 0;
    const int version = data[1] % 84 + 1, n = 2 * version + 21;
    std::vector<std::uint8_t> grid(static_cast<std::size_t>(n) * n);
    for (std::size_t i = 0; i < grid.size(); ++i)
      grid[i] = (data[2 + (i / 8) % (size - 2)] >> (i % 8)) & 1;
    std::unique_ptr<ReaderOutput> out(new ReaderOutput{});
    int infoVersion = 0;
    const std::int32_t code = DecodeHanXinGrid(grid.data(), version, out.get(), &infoVersion);
    if (code > 1 || (code != 0 && out->text[0] != '\0') || infoVersion < 0 || infoVersion > 84)
      std::abort();
    return 0;
  }
  std::vector<std::uint8_t> pixels(256 * 256, 0);
  ScanContext ctx;
  ctx.image = BinaryImage{256, 256, 256, 1, 8, pixels.data()};
  ctx.hanXinFinders.items = AllocArray<FinderPoint>(kMaxFinderPoints);
  if (!ctx.hanXinFinders.items) return 0;
  for (std::size_t at = 1; at + 4 <= size && ctx.hanXinFinders.count < kMaxFinderPoints; at += 4) {
    ctx.hanXinFinders.items[ctx.hanXinFinders.count++] =
        FinderPoint{static_cast<double>(data[at]), static_cast<double>(data[at + 1]),
                    static_cast<double>(data[at + 2]), data[at + 3] * 2 * kHxPi / 256};
  }
  std::unique_ptr<SymbolResult[]> items(new SymbolResult[kMaxResults]());
  SymbolResultList results{0, items.get()};
  HanXinPostStage(&ctx, &results);
  if (results.count < 0 || results.count > kMaxResults) std::abort();
  return 0;
}
