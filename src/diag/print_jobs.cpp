#include "diag/print_jobs.h"

#include <algorithm>

namespace diag {

bool EnumPrinterJobs(os::PrinterHandle printer, std::vector<os::JobInfo>* jobs,
                     std::uint32_t* count, std::uint32_t* status) {
  if (jobs == nullptr || count == nullptr || status == nullptr) return false;
  std::optional<os::PrinterInfo> info = os::GetPrinterInfo(printer);
  if (!info) return false;
  std::optional<std::vector<os::JobInfo>> list = os::EnumJobs(printer, 0, info->jobCount);
  if (!list) return false;
  *jobs = std::move(*list);
  *count = static_cast<std::uint32_t>(jobs->size());
  *status = info->status;
  return true;
}

bool GetJobDocumentName(os::PrinterHandle printer, char16_t* name) {
  if (printer == nullptr || name == nullptr) return false;
  std::vector<os::JobInfo> jobs;
  std::uint32_t count = 0;
  std::uint32_t status = 0;
  if (!EnumPrinterJobs(printer, &jobs, &count, &status) || count == 0) return false;
  auto printing = std::find_if(jobs.begin(), jobs.end(), [](const os::JobInfo& job) {
    return (job.status & kJobStatusPrinting) != 0;
  });
  if (printing == jobs.end()) return false;
  const std::size_t n = std::min(printing->document.size(), kDocumentNameChars);
  std::copy_n(printing->document.begin(), n, name);
  SanitizeFileName(name, n);
  return true;
}

void SanitizeFileName(char16_t* text, std::size_t count) {
  if (text == nullptr) return;
  constexpr char16_t kUnsafe[] = u"\"*/:<>?\\|";
  // Control characters are refused by Windows file names as well: a document
  // name holding a tab would otherwise get no print file at all.
  for (std::size_t i = 0; i < count; ++i) {
    if (text[i] < u' ' || std::char_traits<char16_t>::find(kUnsafe, 9, text[i]) != nullptr) {
      text[i] = u'_';
    }
  }
}

}  // namespace diag
