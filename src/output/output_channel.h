// The one way bytes leave the plug-in: to the spooler through the device
// object's DrvWriteSpoolBuf and, when a job stream copy is kept, the same bytes
// in the same order to that file.
#pragma once

#include <cstddef>
#include <cstdint>

#include "output/command_buffers.h"
#include "platform/abi.h"
#include "platform/os.h"

namespace output {

// Fixed texts of the stream.
inline constexpr char kLineEnd[] = "\r\n";
inline constexpr char kClsCommand[] = "CLS";
inline constexpr char kRasterStart[] = "\x1B!D";  // ESC ! D
inline constexpr char kRasterEnd[] = "~!E";

// A null copy, or one that is not open, means no copy is kept.
using CopyFile = os::File*;

// Text, then CR LF, to the spooler; then both to the copy (copy errors are
// ignored). Returns the spooler's result for the line end; callers carry on
// whatever it says.
std::uint32_t WriteCommandLine(winabi::DEVOBJ* devobj, CopyFile copy, const char* text,
                               std::size_t length);
std::uint32_t WriteCommandLine(winabi::DEVOBJ* devobj, CopyFile copy, const CommandBuffer& command);

// The bytes as they are, no line end, to the spooler and then the copy.
void WriteRawBlock(winabi::DEVOBJ* devobj, CopyFile copy, const void* bytes, std::size_t length);

// "SET CUTTER %d" or, with partial set, "SET PARTIAL_CUTTER %d"; a value of 0
// is always written as OFF.
std::uint32_t WriteCutterCommand(winabi::DEVOBJ* devobj, CopyFile copy, bool partial,
                                 std::int32_t value);

}  // namespace output
