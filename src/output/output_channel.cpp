#include "output/output_channel.h"

#include <limits>

#include "output/page_counters.h"

namespace output {

namespace {

// Hands the bytes to the spooler in pieces a DWORD can count; returns what
// the last call accepted (0 without a spool service).
std::uint32_t SpoolWrite(winabi::DEVOBJ* devobj, const void* bytes, std::size_t length) {
  if (devobj == nullptr || devobj->pDrvProcs == nullptr ||
      devobj->pDrvProcs->DrvWriteSpoolBuf == nullptr) {
    return 0;
  }
  auto* p = static_cast<std::uint8_t*>(const_cast<void*>(bytes));
  std::uint32_t result = 0;
  do {
    constexpr std::size_t kMaxPiece = std::numeric_limits<winabi::DWORD>::max();
    const std::size_t piece = length < kMaxPiece ? length : kMaxPiece;
    result = devobj->pDrvProcs->DrvWriteSpoolBuf(devobj, p, static_cast<winabi::DWORD>(piece));
    p += piece;
    length -= piece;
  } while (length > 0);
  return result;
}

// Write failures are not reported; a copy cut short is closed and marked, so
// that no print file is made from it.
void CopyWrite(CopyFile copy, const void* bytes, std::size_t length) {
  if (copy == nullptr || !copy->isOpen() || length == 0) return;
  if (copy->Write(bytes, length) != length) {
    copy->Close();
    ThePageCounters().streamCopyBroken = true;
  }
}

constexpr std::size_t kLineEndLength = sizeof kLineEnd - 1;

}  // namespace

std::uint32_t WriteCommandLine(winabi::DEVOBJ* devobj, CopyFile copy, const char* text,
                               std::size_t length) {
  if (text == nullptr) length = 0;
  if (length > 0) SpoolWrite(devobj, text, length);
  const std::uint32_t result = SpoolWrite(devobj, kLineEnd, kLineEndLength);
  CopyWrite(copy, text, length);
  CopyWrite(copy, kLineEnd, kLineEndLength);
  return result;
}

std::uint32_t WriteCommandLine(winabi::DEVOBJ* devobj, CopyFile copy,
                               const CommandBuffer& command) {
  return WriteCommandLine(devobj, copy, command.text, command.length);
}

void WriteRawBlock(winabi::DEVOBJ* devobj, CopyFile copy, const void* bytes, std::size_t length) {
  if (bytes == nullptr || length == 0) return;
  SpoolWrite(devobj, bytes, length);
  CopyWrite(copy, bytes, length);
}

std::uint32_t WriteCutterCommand(winabi::DEVOBJ* devobj, CopyFile copy, bool partial,
                                 std::int32_t value) {
  CommandBuffers& buffers = GetCommandBuffers();
  CommandBuffer& command = partial ? buffers.partialCutter : buffers.cutter;
  if (partial) {
    if (value == 0) {
      command.Format("SET PARTIAL_CUTTER OFF", {});
    } else {
      command.Format("SET PARTIAL_CUTTER %d", {value});
    }
  } else if (value == 0) {
    command.Format("SET CUTTER OFF", {});
  } else {
    command.Format("SET CUTTER %d", {value});
  }
  return WriteCommandLine(devobj, copy, command);
}

}  // namespace output
