// labeljob's universal driver and spooler: prints grey page images through
// the plug-in's exported entry points, band by band, on the host world.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "job_settings.h"
#include "png_page.h"

namespace labeljob {

struct RunOptions {
  std::uint32_t bandHeight = 128;  // rows per ImageProcessing call
  std::string tempDirectory;       // the spooler's temporary folder; empty: a fresh one
  // Called after the last band of each page with the page's index and the
  // stream so far (tests watch pages go out one page late).
  std::function<void(std::size_t page, const std::vector<std::uint8_t>& stream)> afterPage;
};

struct ShownMessage {
  std::string title;
  std::string text;
};

struct SpoolerForm {
  std::string name;
  std::int32_t width = 0, length = 0;                     // thousandths of a millimetre
  std::int32_t left = 0, top = 0, right = 0, bottom = 0;  // imageable area
};

// Largest page side in dots: raster block headers carry 16-bit sizes.
inline constexpr std::int64_t kMaxPageSide = 65535;

// How crop print ended one page: the crop result and the job's crop page
// count after it (read from the live private devmode once the page is out).
struct CropPageOutcome {
  std::uint32_t page = 0;  // 1-based
  std::uint32_t result = 0;
  std::uint32_t cropPageCount = 0;
  // Extended crop pages: per label, barcodes drawn again smaller / with grey edges.
  struct Label {
    bool reRendered = false;
    bool antiAliased = false;
  };
  std::vector<Label> labels;
};

struct JobResult {
  std::string error;          // the job could not be set up (temporary folder)
  std::string noLabelReason;  // set when no label was printed
  std::vector<std::uint8_t> stream;  // every byte written to the spooler
  std::uint32_t pagesCaptured = 0;
  std::uint32_t labelsPrinted = 0;  // sum of the copies of the PRINT commands
  std::vector<ShownMessage> messages;
  std::vector<SpoolerForm> forms;          // user forms of the spooler after the job
  std::vector<CropPageOutcome> cropPages;  // crop print jobs only, one per page out
};

// Sets up the host world for the printer of the job (printer, media
// definitions, the spooler forms they have from earlier jobs).
void PrepareWorld(const JobSettings& job, const RunOptions& options);

// Runs one document on the prepared world and returns what the spooler got.
JobResult RunDocument(const JobSettings& job, const std::vector<GreyPage>& pages,
                      const RunOptions& options);

// PrepareWorld and RunDocument in a fresh temporary folder (unless the
// options name one); a page too large to print is found before it is run.
JobResult RunJob(const JobSettings& job, const std::vector<GreyPage>& pages,
                 const RunOptions& options);

// Sum of the copies of every "PRINT m,n" line of a stream.
std::uint32_t CountPrintedLabels(const std::vector<std::uint8_t>& stream);

}  // namespace labeljob
