// The basic crop search on drawn pages: zint encodes, our fixtures draw.
#include <gtest/gtest.h>
#include <zint.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "barcode/alloc.h"
#include "barcode/error_trail.h"
#include "crop/basic_crop_search.h"
#include "crop/work_images.h"
#include "support/barcode_fixtures.h"

namespace {

using crop::CropRectangle;
using fixtures::Page;

struct Box {
  int left, top, right, bottom;
};

// Draws a linear barcode with its bars' top-left corner at (x, y); returns
// the box the bars cover.
Box Draw(Page* page, int symbology, const std::string& text, int x, int y, int module = 2,
         int height = 100, double angle = 0) {
  const std::vector<uint8_t> modules = fixtures::EncodeLinear(symbology, text);
  const int width = static_cast<int>(modules.size()) * module;
  fixtures::DrawLinear(page, modules, {x + width / 2.0, y + height / 2.0, module, height, angle},
                       0);
  return {x, y, x + width - 1, y + height - 1};
}

void Mark(Page* page, int x, int y, int w, int h) {
  for (int yy = y; yy < y + h; ++yy)
    for (int xx = x; xx < x + w; ++xx) page->at(xx, yy) = 0;
}

// A grid of Code 128 labels; tops[c] moves column c down.
Page Grid(int columns, int rows, std::vector<int> drop = {}) {
  Page page(260 + columns * 420, 200 + rows * 300);
  for (int c = 0; c < columns; ++c)
    for (int r = 0; r < rows; ++r) {
      const int dy = c < static_cast<int>(drop.size()) ? drop[static_cast<size_t>(c)] : 0;
      Draw(&page, BARCODE_CODE128, "C" + std::to_string(c) + "R" + std::to_string(r), 100 + c * 420,
           100 + r * 300 + dy);
    }
  return page;
}

int32_t Search(const Page& page, std::vector<CropRectangle>* rects) {
  const crop::SourceImage image{page.grey.data(),
                                static_cast<uint32_t>(page.width),
                                static_cast<uint32_t>(page.width),
                                static_cast<uint32_t>(page.height),
                                6,
                                1};
  return crop::BasicCropSearch(&image, rects);
}

Box BoxOf(const CropRectangle& r, int stride) {
  const int left = static_cast<int>(r.offset % static_cast<uint32_t>(stride));
  const int top = static_cast<int>(r.offset / static_cast<uint32_t>(stride));
  return {left, top, left + r.width - 1, top + r.height - 1};
}

void ExpectBox(const Box& got, const Box& want, const char* what) {
  EXPECT_EQ(got.left, want.left) << what;
  EXPECT_EQ(got.top, want.top) << what;
  EXPECT_EQ(got.right, want.right) << what;
  EXPECT_EQ(got.bottom, want.bottom) << what;
}

TEST(BasicCropSearch, PagesGiveTheirCodesAndLabelCounts) {
  struct Case {
    const char* what;
    std::function<Page()> page;
    int32_t code;
    size_t labels;
  } cases[] = {
      {"one Code 128",
       [] {
         Page p(600, 400);
         Draw(&p, BARCODE_CODE128, "ONE-128", 150, 100);
         return p;
       },
       0, 1},
      {"two symbologies",
       [] {
         Page p(1200, 400);
         Draw(&p, BARCODE_CODE128, "MIXED", 100, 100);
         Draw(&p, BARCODE_CODE39, "MIXED", 650, 100);
         return p;
       },
       4, 0},
      {"tilted by 10 degrees",
       [] {
         Page p(800, 600);
         Draw(&p, BARCODE_CODE128, "TILT-10", 200, 250, 2, 100, 10);
         return p;
       },
       4, 0},
      {"tilted by 4 degrees",
       [] {
         Page p(800, 600);
         Draw(&p, BARCODE_CODE128, "TILT-04", 200, 250, 2, 100, 4);
         return p;
       },
       0, 1},
      {"widths differ by more than a tenth",
       [] {
         Page p(1200, 400);
         Draw(&p, BARCODE_CODE128, "SHORT-1", 100, 100);
         Draw(&p, BARCODE_CODE128, "LONGER-NUMBER-2", 600, 100);
         return p;
       },
       4, 0},
      {"rows not level",
       [] {
         return Grid(2, 2, {0, 12});
       },
       4, 0},
      {"an all-black page",
       [] {
         Page p(400, 400);
         std::fill(p.grey.begin(), p.grey.end(), 0);
         return p;
       },
       4, 0},
      {"a noise page",
       [] {
         Page p(500, 500);
         fixtures::Rng rng(19);
         fixtures::AddNoise(&p, &rng, 255);
         return p;
       },
       4, 0},
      {"a blank page 100 x 100", [] { return Page(100, 100); }, 4, 0},
      {"a page 99 wide", [] { return Page(99, 100); }, 5, 0},
      {"a page 99 high", [] { return Page(100, 99); }, 5, 0},
      {"a page of 1 x 1", [] { return Page(1, 1); }, 5, 0},
      {"a page 65535 wide", [] { return Page(65535, 100); }, 4, 0},
      {"150 barcodes",
       [] {
         Page p(10 * 230 + 100, 15 * 110 + 100);
         for (int i = 0; i < 150; ++i)
           Draw(&p, BARCODE_CODE128, std::to_string(100 + i), 50 + (i % 10) * 230,
                50 + (i / 10) * 110, 2, 60);
         return p;
       },
       4, 0},
  };
  for (const Case& c : cases) {
    std::vector<CropRectangle> rects{{1, 1, 1}};
    EXPECT_EQ(Search(c.page(), &rects), c.code) << c.what;
    EXPECT_EQ(rects.size(), c.labels) << c.what;
  }
}

TEST(BasicCropSearch, BadImagesAreRefusedAtTheChecks) {
  std::vector<uint8_t> px(200 * 200, 255);
  const crop::SourceImage good{px.data(), 200, 200, 200, 6, 1};
  struct Case {
    const char* what;
    crop::SourceImage image;
  } cases[] = {
      {"no pixels", {nullptr, 200, 200, 200, 6, 1}},
      {"one-bit format", {px.data(), 200, 200, 200, 7, 1}},
      {"colour", {px.data(), 66, 200, 200, 6, 3}},
      {"stride below the width", {px.data(), 200, 199, 200, 6, 1}},
      {"stride below 100", {px.data(), 99, 99, 200, 6, 1}},
  };
  for (const Case& c : cases) {
    barcode::ClearErrorTrail();
    std::vector<CropRectangle> rects;
    EXPECT_EQ(crop::BasicCropSearch(&c.image, &rects), 5) << c.what;
    const barcode::ErrorTrail& trail = barcode::GetErrorTrail();
    ASSERT_EQ(trail.count, 1u) << c.what;
    EXPECT_EQ((-trail.slots[0] - barcode::kCategoryBadArgument) / 1000, 777) << c.what;
  }
  std::vector<CropRectangle> rects;
  EXPECT_EQ(crop::BasicCropSearch(&good, &rects), 4);  // format 6 and 1 both taken
  const crop::SourceImage grey1{px.data(), 200, 200, 200, 1, 1};
  EXPECT_EQ(crop::BasicCropSearch(&grey1, &rects), 4);
}

// EAN-13: digits under the bars belong to the barcode (+30 rows), 31 dots of
// quiet zone on the left and 16 on the right. A mark inside the cell (three
// times the label's size) is gathered; one beyond the cell is not.
TEST(BasicCropSearch, RectangleIsBarsQuietZonesAndTheMarksOfItsCell) {
  Page page(900, 700);
  const Box bars = Draw(&page, BARCODE_EANX, "590123412345", 200, 150);
  Mark(&page, bars.left + 10, bars.bottom + 20, 60, 14);  // digits-like line below
  Mark(&page, bars.right + 35, bars.top, 20, 20);         // within reach on the right
  Mark(&page, bars.left, bars.bottom + 330, 40, 10);      // below the cell
  std::vector<CropRectangle> rects;
  ASSERT_EQ(Search(page, &rects), 0);
  ASSERT_EQ(rects.size(), 1u);
  ExpectBox(BoxOf(rects[0], page.width),
            {bars.left - 31, bars.top, bars.right + 35 + 19, bars.bottom + 20 + 13}, "EAN-13");
}

TEST(BasicCropSearch, SheetRectanglesComeColumnByColumnTopToBottom) {
  const Page page = Grid(2, 3);
  std::vector<CropRectangle> rects;
  ASSERT_EQ(Search(page, &rects), 0);
  ASSERT_EQ(rects.size(), 6u);
  for (size_t k = 0; k < rects.size(); ++k) {
    const Box b = BoxOf(rects[k], page.width);
    EXPECT_EQ(b.left, 100 + static_cast<int>(k / 3) * 420 - 27) << k;
    EXPECT_EQ(b.top, 100 + static_cast<int>(k % 3) * 300) << k;
  }
}

// Marks near one Code 128 (bars at 150..373 x 40..139; the front-end's box
// around them is 129..396 x 37..144): a mark touching the box joins the
// label box, and so moves its cell; a mark overlapping the cell (from the
// label box's top to three label heights down) is gathered.
TEST(BasicCropSearch, MarksOnEitherSideOfTheBoxAndCellEdges) {
  struct Spot {
    int x, y, w, h;
  };
  const struct {
    const char* what;
    std::vector<Spot> marks;
    Box rectangle;
  } cases[] = {
      {"bars only", {}, {123, 40, 400, 139}},
      {"ending on the box's top row", {{135, 27, 10, 11}}, {108, 27, 400, 139}},
      {"ending a row above the box", {{135, 26, 10, 11}}, {123, 40, 400, 139}},
      // The cell reaches 3 x 149 - 2 x 40 = 367 with the first mark in the
      // label box, 337 without it: the second mark tells which.
      {"starting on the box's bottom row", {{200, 144, 10, 6}, {200, 345, 10, 5}},
       {123, 40, 400, 349}},
      {"starting a row below the box", {{200, 145, 10, 6}, {200, 345, 10, 5}},
       {123, 40, 400, 150}},
      {"starting on the cell's bottom row", {{200, 337, 10, 5}}, {123, 40, 400, 341}},
      {"starting a row below the cell", {{200, 338, 10, 5}}, {123, 40, 400, 139}},
      {"ending on the cell's top row, right of the box", {{410, 30, 10, 11}}, {123, 30, 419, 139}},
      {"ending a row above the cell", {{410, 29, 10, 11}}, {123, 40, 400, 139}},
  };
  for (const auto& c : cases) {
    Page page(900, 500);
    Draw(&page, BARCODE_CODE128, "ONE-128", 150, 40);
    for (const Spot& m : c.marks) Mark(&page, m.x, m.y, m.w, m.h);
    std::vector<CropRectangle> rects;
    ASSERT_EQ(Search(page, &rects), 0) << c.what;
    ASSERT_EQ(rects.size(), 1u) << c.what;
    ExpectBox(BoxOf(rects[0], page.width), c.rectangle, c.what);
  }
}

// An allocation failing in the front-end's stages is a failed step (7) or
// is borne (0); in the search's own tables, which come last, it is memory (3)
// and the trail ends at the search's site that failed.
TEST(BasicCropSearch, EveryAllocationFailureGivesNoRectangles) {
  const Page page = Grid(1, 2);
  int32_t lastFailure = 0;
  std::set<int32_t> memorySites;
  for (int n = 0; n < 150; ++n) {
    crop::ReleaseWorkImages();  // so that the kept work buffers are taken again
    barcode::test_hooks::FailAllocationAfter(n);
    std::vector<CropRectangle> rects;
    const int32_t code = Search(page, &rects);
    barcode::test_hooks::FailAllocationAfter(-1);
    if (code != 0) {
      EXPECT_TRUE(code == 3 || code == 7) << n << ": " << code;
      EXPECT_TRUE(rects.empty()) << n;
      lastFailure = code;
      const barcode::ErrorTrail& trail = barcode::GetErrorTrail();
      if (code == 3 && trail.count > 0) memorySites.insert(-trail.slots[trail.count - 1]);
    } else {
      EXPECT_FALSE(rects.empty()) << n;
    }
  }
  EXPECT_EQ(lastFailure, 3);
  // The front-end out of memory, the component map, its parent table and
  // the component records.
  std::set<int32_t> want;
  for (int32_t site : {1, 11, 12, 14}) want.insert(barcode::kCategoryMemory + 901000 + site);
  EXPECT_EQ(memorySites, want);
}

}  // namespace

