// The print blocks of a page: per (cut value, copies) pair an optional cutter
// command, CLS, the raster between ESC!D and ~!E, REVERSE when asked, PRINT.
#pragma once

#include <cstdint>

#include "frame/private_devmode.h"
#include "output/cut_list.h"
#include "output/label_image.h"
#include "output/output_channel.h"

namespace output {

// Fills the REVERSE buffer for this page: the label width and height in dots
// (the image rows on media type 3). Called before the first block.
void FormatReverseCommand(const settings::MediaSettings& media, std::uint32_t resolution,
                          std::uint32_t imageRows);

// Whether a cut value is set with the partial cutter: LT family except with
// post-print action 4.
bool UsesPartialCutter(const frame::PrivateDevmode& record);

// One block per pair, in list order; the whole raster is sent in each. The
// image is the finished, inverted label image.
void WritePrintBlocks(winabi::DEVOBJ* devobj, CopyFile copy, const frame::PrivateDevmode& record,
                      const CutList& cutList, const LabelImage& image);

}  // namespace output
