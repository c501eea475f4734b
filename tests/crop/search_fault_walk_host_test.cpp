// Both crop searches with each allocation of the library and the search
// failing in turn: the search ends with memory (3) or a failed step (7) and
// returns nothing, or returns what the clean search returned.
#include <gtest/gtest.h>
#include <zint.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "barcode/alloc.h"
#include "crop/basic_crop_search.h"
#include "crop/region_analysis.h"
#include "crop/work_images.h"
#include "support/barcode_fixtures.h"

namespace {

// Two Code 128 labels side by side with 3-pixel modules, a text line under
// each: two rectangles for the basic search, two regions for the extended.
fixtures::Page TwoLabels() {
  fixtures::Page page(900, 300);
  for (int k = 0; k < 2; ++k) {
    const auto modules = fixtures::EncodeLinear(BARCODE_CODE128, "SEARCH-" + std::to_string(k));
    fixtures::DrawLinear(&page, modules, {230.0 + 440 * k, 110, 3, 80, 0});
    for (int x = 0; x < 200; x += 20) {
      for (int y = 170; y < 186; ++y)
        for (int dx = 0; dx < 14; ++dx) page.at(130 + 440 * k + x + dx, y) = 0;
    }
  }
  return page;
}

struct Outcome {
  int32_t code;
  std::vector<std::vector<uint32_t>> found;  // per label: its place or size
};

// Walks every library allocation of `search`; returns the clean outcome.
Outcome Walk(const std::function<Outcome()>& search, const char* what) {
  crop::ReleaseWorkImages();
  barcode::test_hooks::FailAllocationAfter(-1);
  const Outcome clean = search();
  const long long total = barcode::test_hooks::AllocationsSincePlan();
  EXPECT_GT(total, 0) << what;
  std::set<int32_t> codes;
  for (long long n = 0; n < total && !testing::Test::HasFailure(); ++n) {
    crop::ReleaseWorkImages();
    barcode::test_hooks::FailAllocationAfter(static_cast<int>(n));
    const Outcome failed = search();
    barcode::test_hooks::FailAllocationAfter(-1);
    codes.insert(failed.code);
    if (failed.code == 0) {
      EXPECT_EQ(failed.found, clean.found) << what << ", allocation " << n;
    } else {
      EXPECT_TRUE(failed.code == 3 || failed.code == 7)
          << what << ", allocation " << n << ": code " << failed.code;
      EXPECT_TRUE(failed.found.empty()) << what << ", allocation " << n;
    }
  }
  crop::ReleaseWorkImages();
  // The search's own tables and the front-end's buffers are memory to it.
  EXPECT_EQ(codes.count(3), 1u) << what;
  return clean;
}

TEST(SearchFaultWalk, BothSearchesAtEveryAllocation) {
  fixtures::Page page = TwoLabels();
  const crop::SourceImage source{
      page.grey.data(), uint32_t(page.width), uint32_t(page.width), uint32_t(page.height), 6, 1};
  const Outcome basic = Walk(
      [&] {
        std::vector<crop::CropRectangle> rects;
        Outcome out{crop::BasicCropSearch(&source, &rects), {}};
        for (const auto& r : rects)
          out.found.push_back({r.offset, uint32_t(r.width), uint32_t(r.height)});
        return out;
      },
      "basic");
  EXPECT_EQ(basic.code, 0);
  EXPECT_EQ(basic.found.size(), 2u);
  // 250 dots of printable width: each 400-dot region is fitted by modules.
  const Outcome extended = Walk(
      [&] {
        crop::LabelImageList labels;
        Outcome out{crop::ExtendedCropSearch(&source, 250, 1, &labels), {}};
        for (const auto& l : labels)
          out.found.push_back(
              {l.width, l.height, uint32_t(l.reRendered), uint32_t(l.barcodes.size())});
        return out;
      },
      "extended");
  EXPECT_EQ(extended.code, 0);
  ASSERT_EQ(extended.found.size(), 2u);
  EXPECT_EQ(extended.found[0][2], 1u) << "the label was not fitted by modules";
}

}  // namespace
