// The step trace: call sites keep their printf-style trace lines, which
// produce no output in this build.
#pragma once

namespace diag {

template <typename... Args>
inline void Trace(const char*, const Args&...) {}
template <typename... Args>
inline void Trace(const wchar_t*, const Args&...) {}

}  // namespace diag
