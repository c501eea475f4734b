// Printer profiles and job settings of any content. Byte 0 says which; an
// accepted profile's media definitions become registry values and spooler
// forms, as at the end of a job.
#include <cstdint>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>

#include "job_runner.h"
#include "job_settings.h"
#include "platform/host/world.h"
#include "settings/form_manager.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const nlohmann::json doc = nlohmann::json::parse(data + 1, data + size, nullptr, false);
  if (doc.is_discarded()) return 0;
  labeljob::JobSettings job = labeljob::DefaultJobSettings();
  std::string error;
  const bool ok = (data[0] & 1) ? labeljob::ApplyJobSettings(doc, &job, &error)
                                : labeljob::ApplyPrinterProfile(doc, &job, &error);
  if (!ok) {
    if (error.empty()) std::abort();  // a refusal always says why
    return 0;
  }
  labeljob::RunOptions options;
  options.tempDirectory = "/tmp";
  labeljob::PrepareWorld(job, options);
  settings::SyncFormsFromRegistry(host::PrinterHandleOf(host::FromUtf8(job.printer.printerName)));
  host::ResetWorld();
  return 0;
}
