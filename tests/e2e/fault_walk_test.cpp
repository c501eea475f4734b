// Whole jobs walked through every planned failure of the platform: each
// allocation, each file opened, each write cut short, a disk filling at many
// points, each media value unreadable. Whatever fails, the job ends cleanly:
// nothing is left in the temporary folder, the stream the spooler got reads
// whole, and a print file is either the whole stream or not there.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "job_runner.h"
#include "job_settings.h"
#include "platform/host/faults.h"
#include "platform/host/world.h"
#include "platform/os.h"
#include "stream_reader.h"

namespace {

namespace fs = std::filesystem;

const char* const kMediaValues[] = {
    "numLabelMediaType", "numLabelMediaMethod",   "mmLabelWidth", "mmLabelLength", "mmRightMargin",
    "mmLeftMargin",      "mmTopMargin",           "mmBottomMargin", "numMediaSensorSetting",
    "mmGapHeight",       "mmGapOffset",           "mmMarkHeight", "mmMarkOffset"};

struct FaultWalk : ::testing::Test {
  fs::path root, temp, prints;
  labeljob::JobSettings job = labeljob::DefaultJobSettings();
  std::vector<labeljob::GreyPage> pages;
  host::Faults last;  // what the last job run did

  void SetUp() override {
    root = fs::temp_directory_path() / ("fault_walk-" + std::to_string(os::CurrentProcessId()));
    temp = root / "temp";
    prints = root / "prints";
    // A small die-cut label, two pages, print files on under a fixed name.
    labeljob::MediaDefinition tag{"Tag", {}};
    for (const char* name : kMediaValues) tag.values[name] = 0;
    tag.values["mmLabelWidth"] = 400;
    tag.values["mmLabelLength"] = 250;
    tag.values["mmGapHeight"] = 30;
    job.printer.media = {tag};
    // Plain raster: an LZSS encoder without memory sends an empty block by
    // design, which the page writer's own walk checks.
    for (const char* a : {"dmFormName=Tag", "formName=Tag", "printFileSwitch=1",
                          "fixedPrintFileNameSwitch=1", "rasterCompression=2", "printFileFolder=" }) {
      std::string error;
      std::string assignment = a;
      if (assignment == "printFileFolder=") assignment += prints.string();
      ASSERT_TRUE(labeljob::ApplySetting(assignment, &job, &error)) << error;
    }
    for (std::uint8_t shade : {0x20, 0xC0}) {
      labeljob::GreyPage page;
      page.width = 320;
      page.height = 200;
      page.pixels.assign(page.width * page.height, 255);
      for (std::uint32_t y = 20; y < 180; ++y)
        for (std::uint32_t x = 20; x < 300; x += 3) page.pixels[y * page.width + x] = shade;
      pages.push_back(page);
    }
  }
  void TearDown() override {
    host::ResetFaults();
    fs::remove_all(root);
  }

  // Runs the job in fresh folders with the faults as planned; `last` keeps
  // what the fault layer saw.
  labeljob::JobResult Run(const std::function<void(host::Faults&)>& plan) {
    fs::remove_all(root);
    fs::create_directories(temp);
    fs::create_directories(prints);
    labeljob::RunOptions options;
    options.tempDirectory = temp.string();
    host::ResetFaults();
    plan(host::TheFaults());
    labeljob::JobResult result = labeljob::RunJob(job, pages, options);
    last = host::TheFaults();
    host::ResetFaults();
    return result;
  }

  // Runs the job as planned, then checks what it left. Returns whether the
  // planned failure happened.
  bool RunAndCheck(const std::function<void(host::Faults&)>& plan, const std::string& what,
                   labeljob::JobResult* out = nullptr) {
    SCOPED_TRACE(what);
    labeljob::JobResult result = Run(plan);
    const bool fired = last.fired;

    EXPECT_TRUE(fs::is_empty(temp)) << "left in the temporary folder: "
                                    << fs::directory_iterator(temp)->path();
    const labelview::Stream read = labelview::ReadStream(result.stream.data(), result.stream.size());
    EXPECT_FALSE(read.error) << "stream breaks at " << read.error->offset;
    for (const auto& entry : fs::directory_iterator(prints)) {
      EXPECT_EQ(entry.path().filename(), "labeljob document.prn");
      std::ifstream in(entry.path(), std::ios::binary);
      const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                            std::istreambuf_iterator<char>());
      EXPECT_TRUE(bytes == result.stream) << "print file differs from the stream";
    }
    if (out != nullptr) *out = std::move(result);
    return fired;
  }

  // Plans the n-th event of one kind to fail for n = 0, 1, ... until a job
  // runs through without reaching it; `also` adds failures that stay.
  void Walk(const char* kind, std::int64_t host::Faults::*planned,
            std::int64_t host::Faults::*seen,
            const std::function<void(host::Faults&)>& also = [](host::Faults&) {}) {
    std::int64_t n = 0;
    for (; n < 5000; ++n) {
      const std::string what = kind + std::string(" ") + std::to_string(n);
      RunAndCheck([&](host::Faults& f) { also(f); f.*planned = n; }, what);
      if (last.*seen <= n || HasFailure()) break;
    }
    RecordProperty(kind, static_cast<int>(n));
    EXPECT_GT(n, 0) << kind << ": the job never reached the planned failure";
    EXPECT_LT(n, 5000) << kind;
  }
};

TEST_F(FaultWalk, CleanJobPrintsBothPagesAndSavesThePrintFile) {
  labeljob::JobResult result;
  EXPECT_FALSE(RunAndCheck([](host::Faults&) {}, "clean", &result));
  EXPECT_EQ(result.labelsPrinted, 2u);
  EXPECT_TRUE(fs::exists(prints / "labeljob document.prn"));
}

TEST_F(FaultWalk, EveryAllocation) {
  Walk("allocation", &host::Faults::failAllocation, &host::Faults::allocations);
}

TEST_F(FaultWalk, EveryFileOpened) {
  Walk("open", &host::Faults::failOpen, &host::Faults::opens);
}

TEST_F(FaultWalk, EveryWriteCutShort) {
  Walk("short write", &host::Faults::shortWrite, &host::Faults::writes);
}

TEST_F(FaultWalk, EveryAllocationWhileTellingTheUser) {
  // The media cannot be read: the message's resource string and text are
  // allocated too.
  Walk("allocation with a message", &host::Faults::failAllocation, &host::Faults::allocations,
       [](host::Faults& f) { f.unreadableValues = {u"mmLabelWidth"}; });
}

TEST_F(FaultWalk, DiskFillingUp) {
  // The clean job's bytes, then the disk filling at points spread over them.
  RunAndCheck([](host::Faults&) {}, "measure");
  const std::int64_t total = last.bytesWritten;
  ASSERT_GT(total, 1000);
  for (std::int64_t space : {std::int64_t{0}, std::int64_t{1}, std::int64_t{13}, std::int64_t{54},
                             total / 7, total / 3, total / 2, total - 2, total - 1}) {
    EXPECT_TRUE(RunAndCheck([&](host::Faults& f) { f.diskSpace = space; },
                            "disk space " + std::to_string(space)));
  }
}

TEST_F(FaultWalk, EachMediaValueUnreadable) {
  for (const char* name : kMediaValues) {
    labeljob::JobResult result;
    EXPECT_TRUE(RunAndCheck(
        [&](host::Faults& f) { f.unreadableValues = {host::FromUtf8(name)}; }, name, &result));
    // The form cannot be read: the user is told once, nothing is printed.
    EXPECT_EQ(result.labelsPrinted, 0u) << name;
    ASSERT_EQ(result.messages.size(), 1u) << name;
    EXPECT_EQ(result.messages[0].text, "Select a media size supported by your printer.");
  }
}

}  // namespace

namespace {

TEST_F(FaultWalk, NoExceptionReachesTheSpooler) {
  // Each allocation in turn throws, as a container deep in the plug-in
  // would: the entry points turn it into a failed call, so the job still
  // ends and the next one prints.
  std::int64_t n = 0;
  for (; n < 5000; ++n) {
    SCOPED_TRACE("throwing allocation " + std::to_string(n));
    EXPECT_NO_THROW(Run([n](host::Faults& f) { f.throwAllocation = n; }));
    if (last.allocations <= n || HasFailure()) break;
  }
  EXPECT_GT(n, 10);
  labeljob::JobResult after;
  EXPECT_FALSE(RunAndCheck([](host::Faults&) {}, "the job after", &after));
  EXPECT_EQ(after.labelsPrinted, 2u);
}

}  // namespace
