#include "output/job_header.h"

#include <cstring>

#include "frame/model_table.h"

namespace output {

namespace {

// The "0" rule of GAP: a zero value is written as an integer 0.
void FormatGap(CommandBuffer& command, float height, float offset) {
  const bool heightZero = height == 0.0f;
  const bool offsetZero = offset == 0.0f;
  if (heightZero && offsetZero) {
    command.Format("GAP %d mm, %d mm", {0, 0});
  } else if (heightZero) {
    command.Format("GAP %d mm, %.1f mm", {0, offset});
  } else if (offsetZero) {
    command.Format("GAP %.1f mm, %d mm", {height, 0});
  } else {
    command.Format("GAP %.1f mm, %.1f mm", {height, offset});
  }
}

void CopyToLastSizeCommand(frame::PrivateDevmode& record, const CommandBuffer& size) {
  std::memset(record.lastSizeCommand, 0, sizeof record.lastSizeCommand);
  std::memcpy(record.lastSizeCommand, size.text, size.length);
}

bool SameAsLastSizeCommand(const frame::PrivateDevmode& record, const CommandBuffer& size) {
  // The stored text is at most 255 characters; compare terminators too.
  std::size_t stored = 0;
  while (stored < sizeof record.lastSizeCommand && record.lastSizeCommand[stored] != '\0') ++stored;
  return stored == size.length && std::memcmp(record.lastSizeCommand, size.text, stored) == 0;
}

enum class PostPrint {
  kTearOff,
  kTearOn,
  kRewindOff,
  kRewindOn,
  kPeelOff,
  kPeelOn,
  kPartialOff,
  kCutterOff,
  kEnd
};
using P = PostPrint;

// Rows: action 1 to 5; columns: LT family, MP family, unlisted model.
constexpr PostPrint kPostPrintTable[5][3][6] = {
    {{P::kTearOff, P::kRewindOff, P::kPeelOff, P::kPartialOff, P::kCutterOff, P::kEnd},
     {P::kTearOff, P::kRewindOff, P::kPeelOff, P::kPartialOff, P::kCutterOff, P::kEnd},
     {P::kTearOff, P::kRewindOff, P::kPeelOff, P::kPartialOff, P::kCutterOff, P::kEnd}},
    {{P::kRewindOff, P::kPeelOff, P::kPartialOff, P::kCutterOff, P::kTearOn, P::kEnd},
     {P::kRewindOff, P::kPeelOff, P::kPartialOff, P::kCutterOff, P::kTearOn, P::kEnd},
     {P::kRewindOff, P::kPeelOff, P::kPartialOff, P::kCutterOff, P::kTearOn, P::kEnd}},
    {{P::kTearOff, P::kRewindOff, P::kCutterOff, P::kPartialOff, P::kPeelOn, P::kEnd},
     {P::kEnd},
     {P::kPeelOff, P::kPartialOff, P::kCutterOff, P::kTearOn, P::kRewindOn, P::kEnd}},
    {{P::kTearOff, P::kRewindOff, P::kPeelOff, P::kPartialOff, P::kEnd},
     {P::kEnd},
     {P::kTearOff, P::kRewindOff, P::kCutterOff, P::kPartialOff, P::kPeelOn, P::kEnd}},
    {{P::kTearOff, P::kRewindOff, P::kPeelOff, P::kCutterOff, P::kEnd},
     {P::kEnd},
     {P::kTearOff, P::kRewindOff, P::kPeelOff, P::kPartialOff, P::kEnd}},
};

void WritePostPrint(winabi::DEVOBJ* devobj, CopyFile copy, PostPrint command) {
  CommandBuffers& buffers = GetCommandBuffers();
  switch (command) {
    case P::kTearOff:
    case P::kTearOn:
      buffers.tear.Format("SET TEAR %s", {command == P::kTearOn ? "ON" : "OFF"});
      WriteCommandLine(devobj, copy, buffers.tear);
      break;
    case P::kRewindOff:
    case P::kRewindOn:
      buffers.rewind.Format("SET REWIND %s", {command == P::kRewindOn ? "ON" : "OFF"});
      WriteCommandLine(devobj, copy, buffers.rewind);
      break;
    case P::kPeelOff:
    case P::kPeelOn:
      buffers.peel.Format("SET PEEL %s", {command == P::kPeelOn ? "ON" : "OFF"});
      WriteCommandLine(devobj, copy, buffers.peel);
      break;
    case P::kPartialOff:
      WriteCutterCommand(devobj, copy, true, 0);
      break;
    case P::kCutterOff:
      WriteCutterCommand(devobj, copy, false, 0);
      break;
    case P::kEnd:
      break;
  }
}

}  // namespace

void FormatSizeCommand(const settings::MediaSettings& media, std::uint32_t resolution,
                       std::uint32_t imageRows) {
  float length = media.mmLabelLength;
  if (media.numLabelMediaType == kMediaContinuousFollowsImage && resolution != 0) {
    length = static_cast<float>(imageRows * 25.4 / resolution + 1.0);
  }
  GetCommandBuffers().size.Format("SIZE %.1f mm, %.1f mm", {media.mmLabelWidth, length});
}

void WriteMediaCommand(winabi::DEVOBJ* devobj, CopyFile copy,
                       const settings::MediaSettings& media) {
  CommandBuffers& buffers = GetCommandBuffers();
  switch (media.numLabelMediaType) {
    case 0:
      if (media.numMediaSensorSetting != 0) return;
      FormatGap(buffers.gap, media.mmGapHeight, media.mmGapOffset);
      WriteCommandLine(devobj, copy, buffers.gap);
      return;
    case 1:
      if (media.numMediaSensorSetting != 0) return;
      buffers.bline.Format("BLINE %.1f mm, %.1f mm", {media.mmMarkHeight, media.mmMarkOffset});
      WriteCommandLine(devobj, copy, buffers.bline);
      return;
    case 2:
    case 3:
      FormatGap(buffers.gap, 0.0f, 0.0f);
      WriteCommandLine(devobj, copy, buffers.gap);
      return;
    default:
      return;
  }
}

void WritePostPrintCommands(winabi::DEVOBJ* devobj, CopyFile copy,
                            const frame::PrivateDevmode& record) {
  const int action = record.postPrintAction;
  if (action < 1 || action > 5) return;
  const frame::ModelFamily family =
      frame::FamilyOfRow(frame::ModelRow(record.modelName, frame::kPathChars));
  const int column = family == frame::ModelFamily::kLT   ? 0
                     : family == frame::ModelFamily::kMP ? 1
                                                         : 2;
  for (PostPrint command : kPostPrintTable[action - 1][column]) {
    if (command == P::kEnd) break;
    WritePostPrint(devobj, copy, command);
  }
}

void WriteJobHeader(winabi::DEVOBJ* devobj, CopyFile copy, frame::PrivateDevmode& record,
                    const settings::MediaSettings& media, std::uint32_t imageRows, bool firstPage) {
  CommandBuffers& buffers = GetCommandBuffers();
  FormatSizeCommand(media, record.printerResolution, imageRows);
  if (!firstPage) {
    if (SameAsLastSizeCommand(record, buffers.size)) return;
    WriteCommandLine(devobj, copy, buffers.size);
    CopyToLastSizeCommand(record, buffers.size);
    WriteMediaCommand(devobj, copy, media);
    return;
  }

  WriteCommandLine(devobj, copy, buffers.size);
  CopyToLastSizeCommand(record, buffers.size);
  WriteMediaCommand(devobj, copy, media);
  if (record.printerSettingsSwitch == 0) {
    buffers.speed.Format("SPEED %d", {record.printSpeed});
    WriteCommandLine(devobj, copy, buffers.speed);
    buffers.density.Format("DENSITY %d", {record.printDensity});
    WriteCommandLine(devobj, copy, buffers.density);
  }
  if (media.numLabelMediaMethod == 1 || media.numLabelMediaMethod == 2) {
    buffers.ribbon.Format("SET RIBBON %s", {media.numLabelMediaMethod == 2 ? "ON" : "OFF"});
    WriteCommandLine(devobj, copy, buffers.ribbon);
  }
  buffers.direction.Format("DIRECTION %d,%d", {0, record.mirrorSwitch == 1 ? 1 : 0});
  WriteCommandLine(devobj, copy, buffers.direction);
  buffers.reference.Format("REFERENCE %d,%d", {0, 0});
  WriteCommandLine(devobj, copy, buffers.reference);
  buffers.offset.Format("OFFSET %.1f mm", {record.feedOffset / 10.0});
  WriteCommandLine(devobj, copy, buffers.offset);
  WritePostPrintCommands(devobj, copy, record);
}

}  // namespace output
