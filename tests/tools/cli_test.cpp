// labeljob and labelview as processes: the synopsis orders, paths that are
// not folders, jobs that print nothing, and streams with empty rasters.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "png_page.h"

namespace {

namespace fs = std::filesystem;

struct Outcome {
  int exitCode = -1;
  std::string out, err;
};

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct ToolTest : ::testing::Test {
  fs::path dir;
  std::string page;

  void SetUp() override {
    dir = fs::temp_directory_path() / ("tools_test-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    labeljob::GreyPage grey;
    grey.width = 300;
    grey.height = 200;
    grey.pixels.assign(grey.width * grey.height, 255);
    for (std::uint32_t y = 40; y < 160; ++y) {
      for (std::uint32_t x = 50; x < 250; x += 2) grey.pixels[y * grey.width + x] = 0;
    }
    page = (dir / "page.png").string();
    std::string error;
    ASSERT_TRUE(labeljob::WriteGreyPng(page, grey, &error)) << error;
  }
  void TearDown() override { fs::remove_all(dir); }

  // Runs a command line in the test folder; env is prefixed as VAR=value.
  Outcome Exec(const std::string& command, const std::string& env = "") {
    const std::string out = (dir / "stdout").string(), err = (dir / "stderr").string();
    const std::string line =
        "cd '" + dir.string() + "' && " + env + " " + command + " >'" + out + "' 2>'" + err + "'";
    const int status = std::system(line.c_str());
    Outcome r;
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.out = Slurp(out);
    r.err = Slurp(err);
    return r;
  }
  Outcome Labeljob(const std::string& args, const std::string& env = "") {
    return Exec(std::string(LABELJOB_PATH) + " " + args, env);
  }
};

TEST_F(ToolTest, EachSetTakesOneAssignmentInAnyPosition) {
  const std::string a = "--set printerSettingsSwitch=0", b = "--set printSpeed=3";
  const std::string orders[] = {
      a + " " + b + " page.png -o x.prn",   a + " " + b + " -o x.prn page.png",
      "page.png " + a + " " + b + " -o x.prn", a + " page.png " + b + " -o x.prn",
      "-o x.prn " + a + " page.png page.png " + b,
  };
  for (const std::string& args : orders) {
    SCOPED_TRACE(args);
    fs::remove(dir / "x.prn");
    const Outcome r = Labeljob(args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(Slurp(dir / "x.prn").find("\r\nSPEED 3\r\n"), std::string::npos);
  }
  // Two words after one --set: the second is a page, and no such file exists.
  const Outcome r = Labeljob("--set printSpeed=3 printDensity=4 page.png -o x.prn");
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("printDensity=4"), std::string::npos) << r.err;
}

TEST_F(ToolTest, UnusableFoldersAreNamedWithExitTwo) {
  std::ofstream(dir / "afile") << "x";
  const struct {
    const char* what;
    std::string args, env, named;
  } cases[] = {
      {"print files under a file", "--print-files afile/sub page.png -o x.prn", "", "afile/sub"},
      {"print files is a file", "--print-files afile page.png -o x.prn", "", "afile"},
      {"temporary folder missing", "page.png -o x.prn", "TMPDIR=" + (dir / "gone").string(),
       "gone"},
      {"temporary folder is a file", "page.png -o x.prn", "TMPDIR=" + (dir / "afile").string(),
       "afile"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Outcome r = Labeljob(c.args, c.env);
    EXPECT_EQ(r.exitCode, 2) << r.err;
    EXPECT_NE(r.err.find(c.named), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir / "x.prn"));
  }
  // A usable folder that does not exist yet is made.
  EXPECT_EQ(Labeljob("--print-files made/here page.png -o x.prn").exitCode, 0);
  EXPECT_TRUE(fs::is_directory(dir / "made/here"));
}

TEST_F(ToolTest, JobThatPrintsNothingSaysWhy) {
  std::ofstream(dir / "tall.json")
      << R"({"media":[{"name":"Ten metres","numLabelMediaType":0,"numLabelMediaMethod":0,)"
         R"("mmLabelWidth":1000,"mmLabelLength":100000,"mmRightMargin":0,"mmLeftMargin":0,)"
         R"("mmTopMargin":0,"mmBottomMargin":0,"numMediaSensorSetting":0,"mmGapHeight":30,)"
         R"("mmGapOffset":0,"mmMarkHeight":30,"mmMarkOffset":0}]})";
  const struct {
    const char* what;
    std::string args, reason;
  } cases[] = {
      {"no form name, no roll", "--set dmFormName= page.png", "no continuous medium"},
      {"unknown form", "--set dmFormName=Nope page.png", "not a form of the spooler"},
      {"page over a raster block", "--printer tall.json --set \"dmFormName=Ten metres\" page.png",
       "65535"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Outcome r = Labeljob(c.args + " -o x.prn");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.err.find("no label printed: "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
    r = Labeljob(c.args + " -o x.prn --json");
    EXPECT_NE(r.out.find("\"noLabelReason\": \""), std::string::npos) << r.out;
  }
  const Outcome printed = Labeljob("page.png -o x.prn --json");
  EXPECT_EQ(printed.err, "");
  EXPECT_NE(printed.out.find("\"noLabelReason\": null"), std::string::npos) << printed.out;
}

TEST_F(ToolTest, LabelviewReportsEmptyRastersAndLeavesNothingWhenItFails) {
  ASSERT_EQ(Labeljob("page.png -o one.prn").exitCode, 0);
  const std::string label = Slurp(dir / "one.prn");
  const std::string empties[] = {
      "CLS\r\nBITMAP 0,0,0,0,0,\r\nPRINT 1,1\r\n",
      "CLS\r\nBITMAP 0,0,4,0,0,\r\nPRINT 1,1\r\n",
  };
  for (const std::string& empty : empties) {
    SCOPED_TRACE(empty);
    std::ofstream(dir / "mix.prn", std::ios::binary) << label << empty << label;
    fs::remove_all(dir / "out");
    const Outcome r = Exec(std::string(LABELVIEW_PATH) + " mix.prn -o out");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("label 2: empty raster"), std::string::npos) << r.out;
    EXPECT_TRUE(fs::exists(dir / "out/label_001.png"));
    EXPECT_FALSE(fs::exists(dir / "out/label_002.png"));
    EXPECT_TRUE(fs::exists(dir / "out/label_003.png"));
  }
  // The third image cannot be written: the first is taken back too.
  fs::remove_all(dir / "out");
  fs::create_directories(dir / "out/label_003.png.part");
  const Outcome r = Exec(std::string(LABELVIEW_PATH) + " mix.prn -o out");
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("label_003.png"), std::string::npos) << r.err;
  std::vector<std::string> left;
  for (const auto& e : fs::directory_iterator(dir / "out")) left.push_back(e.path().filename());
  EXPECT_EQ(left, std::vector<std::string>{"label_003.png.part"});
}

}  // namespace
