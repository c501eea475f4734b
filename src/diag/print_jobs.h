// The jobs of a printer, and the document name of the one being printed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/os.h"

namespace diag {

inline constexpr std::uint32_t kJobStatusPrinting = 0x10;
inline constexpr std::size_t kDocumentNameChars = 130;

// The printer's jobs (JOB_INFO_2) and its status.
bool EnumPrinterJobs(os::PrinterHandle printer, std::vector<os::JobInfo>* jobs,
                     std::uint32_t* count, std::uint32_t* status);

// Copies at most 130 characters of the printing job's document name into
// name (a zeroed buffer of at least 131 characters) and makes them safe for a
// file name.
bool GetJobDocumentName(os::PrinterHandle printer, char16_t* name);

// Replaces each of  " * / : < > ? \ |  among the first count characters by '_'.
void SanitizeFileName(char16_t* text, std::size_t count);

}  // namespace diag
