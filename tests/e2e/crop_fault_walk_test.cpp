// Crop print jobs walked through every planned failure: each allocation of
// the platform, each allocation of the barcode library and the crop search,
// each file opened, each write cut short, a disk filling up. Two pages of two
// labels each, so that a label is held from page 1 to page 2 and another to
// the end of the job. Whatever fails, the job ends cleanly: no file is left
// in the temporary folder, the stream reads whole, each label printed is one
// the clean job printed, in the same order, and no page ends with a result
// that would cancel the rest of the job.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "barcode/alloc.h"
#include "crop/work_images.h"
#include "job_runner.h"
#include "job_settings.h"
#include "platform/host/faults.h"
#include "platform/host/world.h"
#include "platform/os.h"
#include "stream_reader.h"
#include "support/label_sheet.h"

namespace {

namespace fs = std::filesystem;

constexpr char kNoBarcodes[] = "No barcodes were detected.";
constexpr char kUnsupportedMedia[] = "Select a media size supported by your printer.";

struct Variant {
  const char* what;
  std::uint32_t mediaType;    // 2: one surface per label; 0: fixed size
  std::uint32_t widthTenths;  // media width, 0.1 mm
  bool extended;
};

// Basic search on media a label fits as it is; extended search on media
// narrower than a label, so that each label is fitted and its barcode drawn
// again at 2 dots per module.
const Variant kBasic{"basic, one surface per label", 2, 500, false};
const Variant kExtended{"extended, fixed size", 0, 320, true};

struct CropFaultWalk : ::testing::Test {
  fs::path root =
      fs::temp_directory_path() / ("crop_fault_walk-" + std::to_string(os::CurrentProcessId()));
  fs::path temp = root / "temp";
  std::vector<labeljob::GreyPage> pages;
  labeljob::JobSettings job;
  std::vector<labelview::Raster> cleanLabels;
  host::Faults lastHost;
  long long lastLibrary = 0;  // barcode library allocations of the last run

  void SetUp() override {
    // 100 x 50 mm sheets, two shipping labels side by side with 3-dot modules.
    for (const char* side : {"A", "B"}) {
      testing_support::LabelSheet sheet(799, 399);
      sheet.ShippingLabel(20, 20, std::string("WALK-") + side + "1", 3, 60);
      sheet.ShippingLabel(420, 20, std::string("WALK-") + side + "2", 3, 60);
      pages.push_back(sheet.page());
    }
  }
  void TearDown() override {
    host::ResetFaults();
    barcode::test_hooks::FailAllocationAfter(-1);
    fs::remove_all(root);
  }

  void Use(const Variant& v) {
    job = labeljob::DefaultJobSettings();
    job.printer.media = {testing_support::LabelMedia("Walk media", v.mediaType, v.widthTenths, 600),
                         testing_support::LabelMedia("Walk sheet", 0, 1000, 500)};
    // Plain raster: an LZSS encoder without memory sends an empty block,
    // which the page writer's own walk accepts; here the stream reads whole.
    for (std::string a :
         {"cropPrintSwitch=1", "formName=Walk media", "dmFormName=Walk sheet",
          "rasterCompression=2", v.extended ? "extendedCropSwitch=1" : "extendedCropSwitch=0"}) {
      std::string error;
      ASSERT_TRUE(labeljob::ApplySetting(a, &job, &error)) << error;
    }
    labeljob::JobResult clean;
    Run([] {}, "clean", &clean);
    ASSERT_FALSE(host::TheFaults().fired);
    std::vector<std::uint32_t> results;
    for (const auto& p : clean.cropPages) results.push_back(p.result);
    ASSERT_EQ(results, (std::vector<std::uint32_t>{0, 0})) << v.what;
    EXPECT_TRUE(clean.messages.empty()) << v.what;
    ASSERT_EQ(cleanLabels.size(), 4u) << v.what;
  }

  // Runs the job in a fresh temporary folder with the failure planned, then
  // checks what it left. Sets cleanLabels on the clean run.
  void Run(const std::function<void()>& plan, const std::string& what,
           labeljob::JobResult* out = nullptr) {
    SCOPED_TRACE(what);
    fs::remove_all(root);
    fs::create_directories(temp);
    labeljob::RunOptions options;
    options.tempDirectory = temp.string();
    crop::ReleaseWorkImages();  // kept work buffers would hide their allocations
    host::ResetFaults();
    barcode::test_hooks::FailAllocationAfter(-1);
    plan();
    labeljob::JobResult result = labeljob::RunJob(job, pages, options);
    lastHost = host::TheFaults();
    lastLibrary = barcode::test_hooks::AllocationsSincePlan();
    host::ResetFaults();
    barcode::test_hooks::FailAllocationAfter(-1);

    for (const auto& left : fs::directory_iterator(temp)) {
      ADD_FAILURE() << "left in the temporary folder: " << left.path().filename() << ", "
                    << fs::file_size(left.path()) << " bytes";
    }
    const labelview::Stream stream =
        labelview::ReadStream(result.stream.data(), result.stream.size());
    EXPECT_FALSE(stream.error) << "stream breaks at " << stream.error->offset;
    std::vector<labelview::Raster> printed;
    for (const labelview::PrintedLabel& label : stream.labels) {
      if (label.raster) printed.push_back(stream.rasters[*label.raster]);
    }
    if (cleanLabels.empty()) cleanLabels = printed;
    // In order, each one whole: a subsequence of the clean job's labels.
    auto next = cleanLabels.begin();
    for (const labelview::Raster& r : printed) {
      next = std::find_if(next, cleanLabels.end(), [&](const labelview::Raster& c) {
        return c.rows == r.rows && c.bytesPerRow == r.bytesPerRow && c.data == r.data;
      });
      ASSERT_NE(next, cleanLabels.end()) << "a label the clean job did not print, or out of order";
      ++next;
    }
    for (const auto& page : result.cropPages) {
      // A failure costs a page at most; it never cancels the rest of the job.
      EXPECT_TRUE(page.result == 0 || page.result == 4 || page.result == 11)
          << "page " << page.page << " result " << page.result;
    }
    for (const auto& m : result.messages) {
      EXPECT_TRUE(m.text == kNoBarcodes || m.text == kUnsupportedMedia) << m.text;
    }
    if (out != nullptr) *out = std::move(result);
  }

  // Fails event n of one kind for n = 0, 1, ... (every stride-th n) until a
  // job runs through without reaching it.
  void Walk(const char* kind, const std::function<void(std::int64_t)>& plan,
            const std::function<long long()>& seen, std::int64_t stride = 1) {
    const bool failedBefore = HasFailure();
    std::int64_t n = 0;
    for (; n < 20000; n += stride) {
      Run([&] { plan(n); }, kind + std::string(" ") + std::to_string(n));
      if (seen() <= n || (HasFailure() && !failedBefore)) break;
    }
    RecordProperty(kind, static_cast<int>(n));
    EXPECT_GT(n, 0) << kind << ": the job never reached the planned failure";
    EXPECT_LT(n, 20000) << kind;
  }

  void WalkPlatformAllocations() {
    Walk(
        "platform allocation", [](std::int64_t n) { host::TheFaults().failAllocation = n; },
        [this] { return lastHost.allocations; });
  }
  void WalkLibraryAllocations(std::int64_t stride) {
    Walk(
        "library allocation",
        [](std::int64_t n) { barcode::test_hooks::FailAllocationAfter(static_cast<int>(n)); },
        [this] { return lastLibrary; }, stride);
  }
  void WalkFiles() {
    Walk(
        "open", [](std::int64_t n) { host::TheFaults().failOpen = n; },
        [this] { return lastHost.opens; });
    Walk(
        "short write", [](std::int64_t n) { host::TheFaults().shortWrite = n; },
        [this] { return lastHost.writes; });
    Run([] {}, "measure");
    const std::int64_t total = lastHost.bytesWritten;
    ASSERT_GT(total, 1000);
    for (std::int64_t space :
         {std::int64_t{0}, std::int64_t{54}, total / 5, total / 2, total * 4 / 5, total - 1}) {
      Run([space] { host::TheFaults().diskSpace = space; }, "disk space " + std::to_string(space));
      EXPECT_TRUE(lastHost.fired) << space;
    }
  }
};

TEST_F(CropFaultWalk, BasicEveryPlatformAllocation) {
  ASSERT_NO_FATAL_FAILURE(Use(kBasic));
  WalkPlatformAllocations();
}

TEST_F(CropFaultWalk, BasicEveryLibraryAllocation) {
  ASSERT_NO_FATAL_FAILURE(Use(kBasic));
  WalkLibraryAllocations(1);
}

TEST_F(CropFaultWalk, BasicEveryFileFault) {
  ASSERT_NO_FATAL_FAILURE(Use(kBasic));
  WalkFiles();
}

TEST_F(CropFaultWalk, ExtendedEveryPlatformAllocation) {
  ASSERT_NO_FATAL_FAILURE(Use(kExtended));
  WalkPlatformAllocations();
}

TEST_F(CropFaultWalk, ExtendedEveryLibraryAllocation) {
  ASSERT_NO_FATAL_FAILURE(Use(kExtended));
  WalkLibraryAllocations(1);
}

TEST_F(CropFaultWalk, ExtendedEveryFileFault) {
  ASSERT_NO_FATAL_FAILURE(Use(kExtended));
  WalkFiles();
}

}  // namespace
