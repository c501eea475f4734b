#include "output/print_blocks.h"

#include "frame/model_table.h"
#include "output/job_header.h"
#include "output/raster_block.h"

namespace output {

void FormatReverseCommand(const settings::MediaSettings& media, std::uint32_t dotsPerInch,
                          std::uint32_t imageRows) {
  const double resolution = dotsPerInch;
  const auto width = static_cast<std::int64_t>(media.mmLabelWidth / 25.4 * resolution);
  const std::int64_t height =
      media.numLabelMediaType == kMediaContinuousFollowsImage
          ? std::int64_t{imageRows}
          : static_cast<std::int64_t>(media.mmLabelLength / 25.4 * resolution);
  GetCommandBuffers().reverse.Format("REVERSE %d,%d,%d,%d", {0, 0, width, height});
}

bool UsesPartialCutter(const frame::PrivateDevmode& record) {
  const frame::ModelFamily family =
      frame::FamilyOfRow(frame::ModelRow(record.modelName, frame::kPathChars));
  return family == frame::ModelFamily::kLT && record.postPrintAction != 4;
}

void WritePrintBlocks(winabi::DEVOBJ* devobj, CopyFile copy, const frame::PrivateDevmode& record,
                      const CutList& cutList, const LabelImage& image) {
  CommandBuffers& buffers = GetCommandBuffers();
  const bool partial = UsesPartialCutter(record);
  for (const CutPair& pair : cutList) {
    if (pair.cutValue != kNoCut) WriteCutterCommand(devobj, copy, partial, pair.cutValue);
    WriteCommandLine(devobj, copy, kClsCommand, sizeof kClsCommand - 1);
    WriteCommandLine(devobj, copy, kRasterStart, sizeof kRasterStart - 1);
    WriteRaster(devobj, copy, record.rasterCompression, image);
    WriteRawBlock(devobj, copy, kLineEnd, sizeof kLineEnd - 1);
    WriteCommandLine(devobj, copy, kRasterEnd, sizeof kRasterEnd - 1);
    if (record.reversePrintSwitch == 1) WriteCommandLine(devobj, copy, buffers.reverse);
    buffers.print.Format("PRINT %d,%d", {1, pair.copies});
    WriteCommandLine(devobj, copy, buffers.print);
  }
}

}  // namespace output
