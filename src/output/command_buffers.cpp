#include "output/command_buffers.h"

#include <cstring>

namespace output {

namespace {
CommandBuffers g_commandBuffers;
}

void CommandBuffer::Format(const char* format, std::initializer_list<FormatArg> args) {
  std::memset(text, 0, sizeof text);
  length = FormatBounded(text, sizeof text, format, args);
}

CommandBuffers& GetCommandBuffers() { return g_commandBuffers; }

void ResetCommandBuffers() { g_commandBuffers = CommandBuffers{}; }

}  // namespace output
