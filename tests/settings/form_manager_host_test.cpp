// Spooler forms against the host spooler: sizes by name, the form record of a
// media definition, and the end-of-job synchronisation.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <optional>
#include <tuple>
#include <vector>

#include "platform/host/world.h"
#include "settings/form_manager.h"
#include "settings/media_store.h"
#include "support/host_media.h"

namespace {

using host::FormCall;
using testing_support::AddMedia;
using testing_support::MediaValues;

constexpr char16_t kDriver[] = u"Norvale LT-310 (300 dpi)";

struct FormTest : ::testing::Test {
  os::PrinterHandle printer = nullptr;
  void SetUp() override {
    host::ResetWorld();
    printer = host::AddPrinter({u"Desk", kDriver, std::nullopt, 0, {}});
  }
  void TearDown() override { host::ResetWorld(); }
};

void ExpectForm(const os::FormInfo& f, std::int32_t cx, std::int32_t cy, std::int32_t left,
                std::int32_t top, std::int32_t right, std::int32_t bottom) {
  EXPECT_EQ(f.flags, 0u);
  EXPECT_EQ(f.size.cx, cx);
  EXPECT_EQ(f.size.cy, cy);
  EXPECT_EQ(f.imageableArea.left, left);
  EXPECT_EQ(f.imageableArea.top, top);
  EXPECT_EQ(f.imageableArea.right, right);
  EXPECT_EQ(f.imageableArea.bottom, bottom);
}

TEST_F(FormTest, FormRecordKeepsTopAndBottomOnlyForContinuousMedia) {
  settings::MediaSettings media{};
  media.mmLabelWidth = 100.0f;
  media.mmLabelLength = 150.0f;
  media.mmLeftMargin = media.mmRightMargin = media.mmTopMargin = media.mmBottomMargin = 1.0f;
  media.numLabelMediaType = 1;
  ExpectForm(settings::FormFromMedia(u"A", media).value(), 100000, 150000, 1000, 0, 99000, 150000);
  media.numLabelMediaType = 3;
  ExpectForm(settings::FormFromMedia(u"A", media).value(), 100000, 150000, 1000, 1000, 99000, 149000);
  // Single-precision products, then truncated: 50.8f and 1.4f times 1000
  // round up to whole numbers in float (in double they stay just below).
  media.mmLabelWidth = 50.8f;
  media.mmLeftMargin = 1.4f;
  const os::FormInfo f = settings::FormFromMedia(u"A", media).value();
  EXPECT_EQ(f.size.cx, 50800);
  EXPECT_EQ(f.imageableArea.left, 1400);
}

TEST_F(FormTest, GetFormSizeIsCaseInsensitiveWithOneBasedPosition) {
  int index = 0;
  settings::FormMargins margins;
  winabi::SIZEL size{};
  ASSERT_TRUE(settings::GetFormSize(printer, u"a4", &index, &margins, &size));
  EXPECT_EQ(index, 9);
  EXPECT_EQ(size.cx, 210000);
  EXPECT_EQ(size.cy, 297000);
  ASSERT_TRUE(settings::GetFormSize(printer, u"LETTER", &index, &margins, &size));
  EXPECT_EQ(index, 1);

  settings::MediaSettings media{};
  media.mmLabelWidth = 60.0f;
  media.mmLabelLength = 40.0f;
  media.mmLeftMargin = 1.5f;
  media.mmRightMargin = 2.0f;
  settings::AddOrUpdateForm(printer, u"Price Tag", media);
  ASSERT_TRUE(settings::GetFormSize(printer, u"PRICE tag", &index, &margins, &size));
  EXPECT_EQ(index, static_cast<int>(host::StandardForms().size()) + 1);
  EXPECT_EQ(margins.left, 1500);
  EXPECT_EQ(margins.right, 2000);
  EXPECT_EQ(margins.top, 0);
  EXPECT_EQ(margins.bottom, 0);

  EXPECT_FALSE(settings::GetFormSize(printer, u"Nope", &index, &margins, &size));
  EXPECT_FALSE(settings::GetFormSize(printer, nullptr, &index, &margins, &size));
  EXPECT_FALSE(settings::GetFormSize(printer, u"A4", &index, nullptr, &size));
}

TEST_F(FormTest, BuiltInNamesAreAlwaysAddedFirstThenSet) {
  settings::MediaSettings media{};
  settings::BuiltInMediaDefaults(kDriver, u"4X6", &media);
  settings::AddOrUpdateForm(printer, u"4X6", media);
  settings::AddOrUpdateForm(printer, u"4X6", media);  // exists now, still offered to AddFormW
  settings::AddOrUpdateForm(printer, u"a5", media);   // other names that exist are only set
  std::vector<std::tuple<FormCall::Kind, std::u16string, bool>> calls;
  for (const FormCall& c : host::TheWorld().formCalls)
    calls.emplace_back(c.kind, c.name, c.succeeded);
  // The spooler refuses to add an existing name.
  EXPECT_EQ(calls, (decltype(calls){{FormCall::Kind::kAdd, u"4X6", true},
                                    {FormCall::Kind::kSet, u"4X6", true},
                                    {FormCall::Kind::kAdd, u"4X6", false},
                                    {FormCall::Kind::kSet, u"4X6", true},
                                    {FormCall::Kind::kSet, u"a5", true}}));
}

TEST_F(FormTest, SyncCoversEveryPrinterOfTheDriverFieldByField) {
  host::AddPrinter({u"Other brand", u"Another driver", std::nullopt, 0, {}});
  host::AddPrinter({u"No forms", kDriver, std::nullopt, 0, {}});
  host::AddPrinter({u"Warehouse", kDriver, std::nullopt, 0, {}});

  MediaValues shelf;  // 100 x 150 mm, 1 mm margins, die-cut
  MediaValues roll;
  roll.type = 3;
  roll.width = 576;
  roll.length = 300;
  roll.left = 15;
  roll.right = 25;
  roll.top = 20;
  roll.bottom = 5;
  MediaValues incomplete;
  AddMedia(u"Desk", u"Shelf", shelf);
  AddMedia(u"Desk", u"Roll 58", roll);
  host::AddRegistryKey(settings::PrinterFormsKeyPath(u"Desk") + u"\\Empty");
  host::AddRegistryKey(settings::PrinterFormsKeyPath(u"Desk") + u"\\4X6");
  MediaValues warehouseShelf = shelf;
  warehouseShelf.width = 1020;
  AddMedia(u"Warehouse", u"Shelf", warehouseShelf);
  AddMedia(u"Other brand", u"Foreign", shelf);

  settings::SyncFormsFromRegistry(printer);

  struct Expected {
    FormCall::Kind kind;
    const char16_t* name;
    bool succeeded;
    std::int32_t cx, cy, left, top, right, bottom;
  } expected[] = {
      // Desk, in registry order; "Empty" lacks its values and is skipped.
      {FormCall::Kind::kAdd, u"Shelf", true, 100000, 150000, 1000, 0, 99000, 150000},
      {FormCall::Kind::kSet, u"Shelf", true, 100000, 150000, 1000, 0, 99000, 150000},
      {FormCall::Kind::kAdd, u"Roll 58", true, 57600, 30000, 1500, 2000, 55100, 29500},
      {FormCall::Kind::kSet, u"Roll 58", true, 57600, 30000, 1500, 2000, 55100, 29500},
      {FormCall::Kind::kAdd, u"4X6", true, 101600, 152400, 0, 0, 101600, 152400},
      {FormCall::Kind::kSet, u"4X6", true, 101600, 152400, 0, 0, 101600, 152400},
      // "No forms" has no forms key. Warehouse: its Shelf wins, only set.
      {FormCall::Kind::kSet, u"Shelf", true, 102000, 150000, 1000, 0, 101000, 150000},
  };
  const auto& calls = host::TheWorld().formCalls;
  ASSERT_EQ(calls.size(), std::size(expected));
  for (std::size_t i = 0; i < calls.size(); ++i) {
    SCOPED_TRACE(::testing::Message() << "call " << i);
    const Expected& e = expected[i];
    EXPECT_EQ(calls[i].kind, e.kind);
    EXPECT_EQ(calls[i].name, e.name);
    EXPECT_EQ(calls[i].form.name, e.name);
    EXPECT_EQ(calls[i].succeeded, e.succeeded);
    ExpectForm(calls[i].form, e.cx, e.cy, e.left, e.top, e.right, e.bottom);
  }
  int index = 0;
  settings::FormMargins margins;
  winabi::SIZEL size{};
  ASSERT_TRUE(settings::GetFormSize(printer, u"shelf", &index, &margins, &size));
  EXPECT_EQ(size.cx, 102000);
}

TEST(Thousandths, RefusedWhenTheProductLeaves32Bits) {
  // Near 2^31 single precision steps by 128 below and 256 above.
  const struct {
    float mm;
    std::optional<std::int32_t> expected;
  } cases[] = {
      {2147483.0f, 2147483008},    {2147484.0f, std::nullopt},
      {-2147483.0f, -2147483008},  {-2147484.0f, std::nullopt},
      {-214748364.8f, std::nullopt}, {3000000.0f, std::nullopt},
      {std::nanf(""), std::nullopt}, {INFINITY, std::nullopt},
      {-0.0f, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mm);
    EXPECT_EQ(settings::ThousandthsOf(c.mm), c.expected);
  }
}

TEST_F(FormTest, DefinitionsBeyond32BitsAreSkippedByTheSync) {
  MediaValues wide;  // 3 km of label
  wide.width = 30000000;
  MediaValues farRight;
  farRight.right = 0x80000000u;  // -2147483648 tenths
  MediaValues rollEdge;          // each margin fits, the bottom edge would not
  rollEdge.type = 3;
  rollEdge.length = 20000000;
  rollEdge.bottom = 0u - 20000000u;
  AddMedia(u"Desk", u"Wide", wide);
  AddMedia(u"Desk", u"Far right", farRight);
  AddMedia(u"Desk", u"Roll edge", rollEdge);
  AddMedia(u"Desk", u"Shelf", MediaValues{});
  settings::SyncFormsFromRegistry(printer);
  std::vector<std::u16string> names;
  for (const FormCall& c : host::TheWorld().formCalls) names.push_back(c.name);
  EXPECT_EQ(names, (std::vector<std::u16string>{u"Shelf", u"Shelf"}));
}

TEST_F(FormTest, FormWhoseMarginsOverflowIsNotFound) {
  host::TheWorld().forms.push_back(
      os::FormInfo{0, u"Odd", {INT32_MIN, 1000}, {0, 0, INT32_MAX, 1000}});
  host::TheWorld().forms.push_back(
      os::FormInfo{0, u"Fine", {INT32_MAX, 1000}, {0, 0, 0, 1000 - INT32_MAX}});
  int index = 0;
  settings::FormMargins margins;
  winabi::SIZEL size{};
  EXPECT_FALSE(settings::GetFormSize(printer, u"Odd", &index, &margins, &size));
  ASSERT_TRUE(settings::GetFormSize(printer, u"Fine", &index, &margins, &size));
  EXPECT_EQ(margins.right, INT32_MAX);
  EXPECT_EQ(margins.bottom, INT32_MAX);
}

TEST_F(FormTest, SyncStopsQuietlyWhenPrintersCannotBeListed) {
  AddMedia(u"Desk", u"Shelf", MediaValues{});
  host::TheWorld().enumPrintersFails = true;
  settings::SyncFormsFromRegistry(printer);
  EXPECT_TRUE(host::TheWorld().formCalls.empty());
}

TEST_F(FormTest, PrintersOfDriverMatchExactly) {
  host::AddPrinter({u"Lower", u"norvale lt-310 (300 dpi)", std::nullopt, 0, {}});
  host::AddPrinter({u"Second", kDriver, std::nullopt, 0, {}});
  settings::NameList list;
  ASSERT_TRUE(settings::ListPrintersOfDriver(kDriver, &list));
  EXPECT_EQ(list, (settings::NameList{u"Desk", u"Second"}));
}

}  // namespace
