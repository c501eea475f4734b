// barcodescan end to end: a label drawn with zint, saved as PNG in several
// forms, scanned by the tool, its JSON lines checked against the drawing.
#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>
#include <zint.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "support/barcode_fixtures.h"

#ifdef BARCODESCAN_PATH

namespace {

// Files of this process only: another test run may share the folder.
std::string TempPrefix() { return ::testing::TempDir() + "bs" + std::to_string(::getpid()) + "_"; }

using fixtures::Page;

struct Drawn {
  int zint;
  std::string data, type, text;
  double x, y, angle;
};
// QR Codes are among the default types: both copies of a repeated one count.
const Drawn kDrawn[] = {
    {BARCODE_CODE128, "PO 4711", "CODE_128", "PO 4711", 420, 160, 0},
    {BARCODE_UPCA, "04210000526", "UPC_A", "042100005264", 420, 460, 180},
    {BARCODE_CODE93, "BOX-93", "CODE_93", "BOX-93", 160, 800, 90},
    {BARCODE_QRCODE, "REPEATED 1", "QR_CODE", "REPEATED 1", 600, 800, 0},
    {BARCODE_QRCODE, "REPEATED 1", "QR_CODE", "REPEATED 1", 600, 980, 0},
    {BARCODE_QRCODE, "other text", "QR_CODE", "other text", 380, 980, 90},
};

// Writes grey (bits 8) or one-bit (bits 1) PNGs, with a pHYs when dpi > 0.
void WritePng(const std::string& path, const Page& page, int bits, int dpi) {
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, f);
  png_set_IHDR(png, info, page.width, page.height, bits, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (dpi > 0) {
    png_uint_32 ppm = static_cast<png_uint_32>(dpi / 0.0254 + 0.5);
    png_set_pHYs(png, info, ppm, ppm, PNG_RESOLUTION_METER);
  }
  png_write_info(png, info);
  std::vector<uint8_t> row((page.width + 7) / 8 * (bits == 1 ? 1 : 8));
  for (int y = 0; y < page.height; ++y) {
    if (bits == 8) {
      png_write_row(png, &page.grey[static_cast<size_t>(y) * page.width]);
      continue;
    }
    std::fill(row.begin(), row.end(), 0);
    for (int x = 0; x < page.width; ++x)
      if (page.grey[static_cast<size_t>(y) * page.width + x] >= 128) row[x / 8] |= 0x80 >> (x % 8);
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  std::fclose(f);
}

struct ToolRun {
  int exitCode;
  std::string out, err;
};

ToolRun RunTool(const std::string& args) {
  const std::string errPath = TempPrefix() + "barcodescan_err.txt";
  std::string command = std::string(BARCODESCAN_PATH) + " " + args + " 2>" + errPath;
  FILE* p = popen(command.c_str(), "r");
  ToolRun run{-1, {}, {}};
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof(buf), p)) > 0) run.out.append(buf, n);
  int status = pclose(p);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream err(errPath);
  run.err.assign(std::istreambuf_iterator<char>(err), {});
  return run;
}

// JSON lines joined by commas.
std::string Joined(std::string lines) {
  while (!lines.empty() && lines.back() == '\n') lines.pop_back();
  std::replace(lines.begin(), lines.end(), '\n', ',');
  return lines;
}

Page DrawPage() {
  Page page(840, 1100);
  fixtures::Rng rng(3);
  fixtures::DrawClutter(&page, &rng, 20, 3);
  for (const Drawn& d : kDrawn) {
    if (d.zint == BARCODE_QRCODE) {
      fixtures::DrawMatrix(&page, fixtures::EncodeMatrix(d.zint, d.data), d.x, d.y, 4, d.angle);
    } else {
      fixtures::DrawLinear(&page, fixtures::EncodeLinear(d.zint, d.data),
                           {d.x, d.y, 2, 110, d.angle});
    }
  }
  return page;
}

TEST(Barcodescan, JsonMatchesTheDrawnSymbols) {
  Page page = DrawPage();
  const std::string dir = TempPrefix();
  const std::string grey = dir + "bs_grey.png", bilevel = dir + "bs_bits.png";
  WritePng(grey, page, 8, 203);
  WritePng(bilevel, page, 1, 0);
  ToolRun run = RunTool("--json " + grey + " " + dir + "bs_missing.png " + bilevel);
  // The missing file is named on stderr; the others are still scanned.
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_NE(run.err.find("bs_missing.png"), std::string::npos) << run.err;
  std::map<std::string, int> seen;  // file and drawn symbol
  std::istringstream lines(run.out);
  std::string line;
  while (std::getline(lines, line)) {
    nlohmann::json j = nlohmann::json::parse(line);
    const int left = j["left"], top = j["top"], width = j["width"], height = j["height"];
    int match = -1;
    for (int k = 0; k < static_cast<int>(std::size(kDrawn)); ++k) {
      const Drawn& d = kDrawn[k];
      if (d.text == j["text"] && left <= d.x && left + width >= d.x && top <= d.y &&
          top + height >= d.y)
        match = k;
    }
    ASSERT_GE(match, 0) << line;
    EXPECT_EQ(j["type"], kDrawn[match].type) << line;
    EXPECT_NEAR(double(j["module"]), kDrawn[match].zint == BARCODE_QRCODE ? 4.0 : 2.0, 0.5) << line;
    EXPECT_TRUE(j.contains("angle")) << line;
    ++seen[std::string(j["file"]) + " " + std::to_string(match)];
  }
  for (const std::string& file : {grey, bilevel})
    for (size_t k = 0; k < std::size(kDrawn); ++k)
      EXPECT_EQ(seen[file + " " + std::to_string(k)], 1) << file << " " << kDrawn[k].text;
  // Only what was asked for; a clean run exits 0, also with nothing found.
  ToolRun only = RunTool("--json --types CODE_93 " + grey);
  EXPECT_EQ(only.exitCode, 0);
  EXPECT_EQ(std::count(only.out.begin(), only.out.end(), '\n'), 1) << only.out;
  ToolRun none = RunTool("--types DATAMATRIX " + grey);
  EXPECT_EQ(none.exitCode, 0);
  EXPECT_NE(none.out.find("0 barcode(s)"), std::string::npos);
  EXPECT_NE(RunTool("--types NOPE " + grey).exitCode, 0);
  std::ofstream(dir + "bs_bad.png") << "not a png";
  ToolRun bad = RunTool(dir + "bs_bad.png");
  EXPECT_EQ(bad.exitCode, 2);
  EXPECT_NE(bad.err.find("bs_bad.png"), std::string::npos);
}

// PDF417 upright and turned a quarter (the front-end's turned pass) and a
// MaxiCode, all default types; the MaxiCode box is the symbol's.
TEST(Barcodescan, Pdf417AndMaxiCode) {
  Page page(900, 1200);
  const auto rows = fixtures::EncodePdf417("PDF417 ON A LABEL", 4, 3);
  fixtures::DrawModules(&page, rows, 450, 200, 2, 6, 0, 4);
  const auto turned = fixtures::EncodePdf417("TURNED 90", 3, 2);
  fixtures::DrawModules(&page, turned, 450, 550, 2, 6, 90, 4);
  const Page maxi = fixtures::DrawMaxiCode("MAXI", 4, 0.75f);
  fixtures::Paste(&page, maxi, 450, 950, 0);
  const std::string path = TempPrefix() + "bs_2d.png";
  WritePng(path, page, 8, 203);
  ToolRun run = RunTool("--json " + path);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  std::map<std::string, int> seen;
  std::istringstream lines(run.out);
  std::string line;
  while (std::getline(lines, line)) {
    nlohmann::json j = nlohmann::json::parse(line);
    const std::string type = j["type"], text = j["text"];
    ++seen[type + " " + text];
    if (type != "MAXICODE") continue;
    const int left = j["left"], width = j["width"];
    EXPECT_NEAR(left + width / 2.0, 450, 10) << line;
    EXPECT_NEAR(width, maxi.width, maxi.width * 0.3) << line;
  }
  EXPECT_EQ(seen["PDF417 PDF417 ON A LABEL"], 1) << run.out;
  EXPECT_EQ(seen["PDF417 TURNED 90"], 1) << run.out;
  EXPECT_EQ(seen["MAXICODE 1234567890"], 1) << run.out;
  EXPECT_EQ(seen.size(), 3u) << run.out;
}

// Han Xin is among the default types: Chinese text comes out as UTF-8, the
// host's thread code page, beside a QR Code.
TEST(Barcodescan, DefaultTypesReadHanXin) {
  Page page(700, 400);
  fixtures::MatrixOptions hx;
  hx.unicode = true;
  hx.option1 = 2;
  const std::string chinese = "\xE6\xB1\x89\xE4\xBF\xA1 HX 123";
  fixtures::DrawMatrix(&page, fixtures::EncodeMatrix(BARCODE_HANXIN, chinese, hx), 180, 200, 4, 0);
  fixtures::DrawMatrix(&page, fixtures::EncodeMatrix(BARCODE_HANXIN, "turned", hx), 520, 200, 3,
                       90);
  const std::string path = TempPrefix() + "bs_hx.png";
  WritePng(path, page, 8, 300);
  ToolRun run = RunTool("--json " + path);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  std::map<std::string, int> seen;
  for (const auto& j : nlohmann::json::parse("[" + Joined(run.out) + "]"))
    ++seen[std::string(j["type"]) + " " + std::string(j["text"])];
  EXPECT_EQ(seen["HAN_XIN " + chinese], 1) << run.out;
  EXPECT_EQ(seen["HAN_XIN turned"], 1) << run.out;
  EXPECT_EQ(seen.size(), 2u) << run.out;
}

}  // namespace

#endif
