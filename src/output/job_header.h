// The job header: size group on every page whose SIZE changes, the full
// setting commands on the first page of the job.
#pragma once

#include <cstdint>

#include "frame/private_devmode.h"
#include "output/output_channel.h"

namespace output {

// Media type 3 is continuous media whose length follows the image.
inline constexpr std::uint8_t kMediaContinuousFollowsImage = 3;

// Formats this page's SIZE command into the SIZE buffer.
void FormatSizeCommand(const settings::MediaSettings& media, std::uint32_t resolution,
                       std::uint32_t imageRows);

// The GAP or BLINE command the media type and sensor setting call for, if any.
void WriteMediaCommand(winabi::DEVOBJ* devobj, CopyFile copy, const settings::MediaSettings& media);

// The tear, rewind, peel and cutter commands of the model and action.
void WritePostPrintCommands(winabi::DEVOBJ* devobj, CopyFile copy,
                            const frame::PrivateDevmode& record);

// Called once per page after the label image is finished. The first page of
// the job gets the full header; later pages only repeat SIZE and the media
// command when the SIZE text changed. Updates the record's last size command.
// The label size and media come from media (crop print passes its working
// copy), everything else from the record.
void WriteJobHeader(winabi::DEVOBJ* devobj, CopyFile copy, frame::PrivateDevmode& record,
                    const settings::MediaSettings& media, std::uint32_t imageRows, bool firstPage);

}  // namespace output
