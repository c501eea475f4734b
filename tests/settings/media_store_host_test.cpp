// Media definitions read from the host registry.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/host/world.h"
#include "settings/media_store.h"
#include "support/host_media.h"

namespace {

using settings::MediaSettings;
using testing_support::AddMedia;
using testing_support::MediaValues;

constexpr char16_t kDriver[] = u"Norvale LT-210 (203 dpi)";

struct MediaStoreTest : ::testing::Test {
  os::PrinterHandle printer = nullptr;
  void SetUp() override {
    host::ResetWorld();
    printer = host::AddPrinter({u"Label 1", kDriver, std::nullopt, 0, {}});
  }
  void TearDown() override { host::ResetWorld(); }
  std::u16string FormsKey() const { return settings::PrinterFormsKeyPath(u"Label 1"); }
};

TEST_F(MediaStoreTest, ReadsTenthsOfMillimetresAsMillimetres) {
  MediaValues v;
  v.type = 1;
  v.method = 2;
  v.width = 1016;
  v.gapHeight = 30;
  v.markOffset = static_cast<std::uint32_t>(-25);  // negative offsets are signed
  v.sensor = 0x12345678;
  AddMedia(u"Label 1", u"Shelf", v);
  MediaSettings m{};
  ASSERT_TRUE(settings::ReadMediaSettings(FormsKey(), kDriver, u"Shelf", &m));
  EXPECT_EQ(std::u16string(m.mediaName), u"Shelf");
  EXPECT_EQ(m.numLabelMediaType, 1);
  EXPECT_EQ(m.numLabelMediaMethod, 2);
  EXPECT_FLOAT_EQ(m.mmLabelWidth, 101.6f);
  EXPECT_FLOAT_EQ(m.mmLabelLength, 150.0f);
  EXPECT_FLOAT_EQ(m.mmGapHeight, 3.0f);
  EXPECT_FLOAT_EQ(m.mmMarkOffset, -2.5f);
  EXPECT_EQ(m.numMediaSensorSetting, 0x12345678u);
}

TEST_F(MediaStoreTest, IncompleteDefinitionLeavesTheRecordUntouched) {
  struct Case {
    const char* what;
    void (*spoil)(const std::u16string& key);
  } cases[] = {
      {"value missing",
       [](const std::u16string& key) { host::RemoveRegistryValue(key, u"mmMarkOffset"); }},
      {"value of two bytes",
       [](const std::u16string& key) {
         host::SetRegistryBytes(key, u"mmGapOffset", {1, 0});
       }},
      {"value of eight bytes",
       [](const std::u16string& key) {
         host::SetRegistryBytes(key, u"mmLabelWidth", {1, 0, 0, 0, 0, 0, 0, 0});
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    host::ResetWorld();
    AddMedia(u"Label 1", u"Odd", MediaValues{});
    c.spoil(FormsKey() + u"\\Odd");
    MediaSettings m;
    std::memset(&m, 0x5A, sizeof m);
    EXPECT_FALSE(settings::ReadMediaSettings(FormsKey(), kDriver, u"Odd", &m));
    const auto* bytes = reinterpret_cast<const unsigned char*>(&m);
    for (std::size_t i = 0; i < sizeof m; ++i) ASSERT_EQ(bytes[i], 0x5A) << "byte " << i;
  }
  MediaSettings m{};
  EXPECT_FALSE(settings::ReadMediaSettings(FormsKey(), kDriver, u"Nowhere", &m));
}

TEST_F(MediaStoreTest, BuiltInFormsAreExactNamesWithModelMargins) {
  struct Case {
    const char16_t* model;
    const char16_t* form;
    float width, length, sideMargin;
  } cases[] = {
      {u"Norvale MP-520 (203 dpi)", u"2X4", 50.8f, 101.6f, 1.4f},
      {u"Norvale MP-540 (203 dpi)", u"4X6", 101.6f, 152.4f, 1.4f},
      {u"Norvale MP-720 (203 dpi)", u"6X8", 152.4f, 203.2f, 0.0f},
      {u"Norvale LT-210 (203 dpi)", u"2X4", 50.8f, 101.6f, 0.0f},
      {u"Some Other Printer", u"4X4", 101.6f, 101.6f, 0.0f},
  };
  for (const Case& c : cases) {
    MediaSettings m{};
    ASSERT_TRUE(settings::ReadMediaSettings(u"no\\such\\key", c.model, c.form, &m));
    EXPECT_FLOAT_EQ(m.mmLabelWidth, c.width);
    EXPECT_FLOAT_EQ(m.mmLabelLength, c.length);
    EXPECT_FLOAT_EQ(m.mmLeftMargin, c.sideMargin);
    EXPECT_FLOAT_EQ(m.mmRightMargin, c.sideMargin);
    EXPECT_FLOAT_EQ(m.mmGapHeight, 3.0f);
    EXPECT_FLOAT_EQ(m.mmMarkHeight, 3.0f);
    EXPECT_EQ(m.numLabelMediaType, 0);
  }
  // Lower case is an ordinary name, read from the registry.
  EXPECT_FALSE(settings::IsBuiltInForm(u"4x6"));
  MediaValues v;
  v.width = 999;
  AddMedia(u"Label 1", u"4x6", v);
  MediaSettings m{};
  ASSERT_TRUE(settings::ReadMediaSettings(FormsKey(), kDriver, u"4x6", &m));
  EXPECT_FLOAT_EQ(m.mmLabelWidth, 99.9f);
}

TEST_F(MediaStoreTest, PaperWidthPicksTheNearestContinuousMediumFirstOnTies) {
  MediaValues diecut;
  diecut.type = 0;
  diecut.width = 1010;  // exact width, but not continuous
  MediaValues a;
  a.type = 3;
  a.width = 1000;
  a.length = 111;
  MediaValues b = a;
  b.width = 1020;
  b.length = 222;
  AddMedia(u"Label 1", u"Die cut", diecut);
  AddMedia(u"Label 1", u"Roll A", a);
  AddMedia(u"Label 1", u"Roll B", b);
  MediaSettings m{};
  ASSERT_TRUE(settings::FindMediaByPaperWidth(printer, 1010, &m));
  EXPECT_EQ(std::u16string(m.mediaName), u"Roll A");

  MediaSettings near{};
  ASSERT_TRUE(settings::FindMediaByPaperWidth(printer, 1019, &near));
  EXPECT_EQ(std::u16string(near.mediaName), u"Roll B");

  EXPECT_FALSE(settings::FindMediaByPaperWidth(nullptr, 1010, &m));
}

TEST_F(MediaStoreTest, PaperWidthFailsWithoutContinuousMediaOrWhenOneIsUnreadable) {
  MediaSettings m{};
  AddMedia(u"Label 1", u"Die cut", MediaValues{});
  EXPECT_FALSE(settings::FindMediaByPaperWidth(printer, 1000, &m));
  MediaValues roll;
  roll.type = 3;
  AddMedia(u"Label 1", u"Roll", roll);
  EXPECT_TRUE(settings::FindMediaByPaperWidth(printer, 1000, &m));
  host::AddRegistryKey(settings::PrinterFormsKeyPath(u"Label 1") + u"\\Broken");
  EXPECT_FALSE(settings::FindMediaByPaperWidth(printer, 1000, &m));
}

TEST_F(MediaStoreTest, FormsKeyPathBelongsToAPrinterOfTheDriver) {
  host::AddPrinter({u"Other", u"Other driver", std::nullopt, 0, {}});
  host::AddPrinter({u"Label 2", kDriver, std::nullopt, 0, {}});
  AddMedia(u"Other", u"Shared", MediaValues{});
  AddMedia(u"Label 2", u"Shared", MediaValues{});
  AddMedia(u"Label 1", u"Mine", MediaValues{});
  std::u16string path = u"untouched";
  ASSERT_TRUE(settings::FindFormsKeyPath(kDriver, u"Shared", &path));
  EXPECT_EQ(path, settings::PrinterFormsKeyPath(u"Label 2"));
  path = u"untouched";
  EXPECT_FALSE(settings::FindFormsKeyPath(kDriver, u"Absent", &path));
  EXPECT_EQ(path, u"untouched");
}

TEST_F(MediaStoreTest, PrinterInformation) {
  host::AddPrinter({u"Remote", kDriver, u"\\\\server", 0, {}});
  std::u16string driver, server = u"none";
  ASSERT_TRUE(settings::GetPrinterDriverAndServer(printer, &driver, &server));
  EXPECT_EQ(driver, kDriver);
  EXPECT_EQ(server, u"none");  // no server name: left as it was
  ASSERT_TRUE(
      settings::GetPrinterDriverAndServer(host::PrinterHandleOf(u"Remote"), nullptr, &server));
  EXPECT_EQ(server, u"\\\\server");
  EXPECT_FALSE(settings::GetPrinterDriverAndServer(printer, nullptr, nullptr));
  std::u16string name;
  ASSERT_TRUE(settings::GetPrinterName(printer, &name));
  EXPECT_EQ(name, u"Label 1");
}

TEST_F(MediaStoreTest, ListingStopsAtTheEightBitIndex) {
  for (int i = 0; i < 300; ++i) {
    host::AddRegistryKey(settings::PrinterFormsKeyPath(u"Label 1") + u"\\F" +
                         host::FromUtf8(std::to_string(i)));
  }
  settings::NameList list;
  settings::ListPrinterForms(u"Label 1", &list);
  ASSERT_EQ(list.size(), 256u);
  EXPECT_EQ(list.front(), u"F0");
  EXPECT_EQ(list.back(), u"F255");
  settings::FreeNameList(&list);
  EXPECT_TRUE(list.empty());
}

}  // namespace
