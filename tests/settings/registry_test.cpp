// The registry and spooler calls of the platform layer against a real
// Windows registry (Wine in the test run). On the host the same calls are
// covered through the host world.
#include <gtest/gtest.h>

#ifdef _WIN32

#include "platform/os.h"
#include "settings/form_manager.h"
#include "settings/media_store.h"

namespace {

TEST(WindowsRegistry, OpensEnumeratesAndRejectsWrongSizes) {
  auto missing = os::RegistryKey::OpenLocalMachine(u"SOFTWARE\\labelrender\\no such key");
  EXPECT_FALSE(missing.has_value());

  auto software = os::RegistryKey::OpenLocalMachine(u"SOFTWARE");
  ASSERT_TRUE(software.has_value());
  std::u16string first;
  EXPECT_TRUE(software->EnumSubkey(0, &first));
  EXPECT_FALSE(first.empty());
  std::u16string past;
  EXPECT_FALSE(software->EnumSubkey(100000, &past));

  auto version =
      os::RegistryKey::OpenLocalMachine(u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion");
  ASSERT_TRUE(version.has_value());
  auto text = version->QueryString(u"CurrentVersion");
  ASSERT_TRUE(text.has_value());
  EXPECT_FALSE(text->empty());
  // A string value is longer than four bytes: not a DWORD.
  std::uint32_t value = 0;
  EXPECT_FALSE(version->QueryDword(u"CurrentVersion", &value));
  EXPECT_FALSE(version->QueryDword(u"NoSuchValue", &value));
}

TEST(WindowsRegistry, MediaDefinitionsOfAnUnknownPrinterAreNotRead) {
  settings::MediaSettings media{};
  EXPECT_FALSE(settings::ReadMediaSettings(settings::PrinterFormsKeyPath(u"No Such Printer"),
                                           u"model", u"Shelf", &media));
  settings::NameList forms;
  settings::ListPrinterForms(u"No Such Printer", &forms);
  EXPECT_TRUE(forms.empty());
  std::u16string path = u"untouched";
  EXPECT_FALSE(settings::FindFormsKeyPath(u"No Such Driver", u"Shelf", &path));
  EXPECT_EQ(path, u"untouched");
  // Built-in forms never need the registry.
  EXPECT_TRUE(settings::ReadMediaSettings(u"", u"model", u"4X6", &media));
  EXPECT_FLOAT_EQ(media.mmLabelLength, 152.4f);
}

TEST(WindowsSpooler, EnumeratesLocalPrintersAndAnswersTimeAndTemp) {
  EXPECT_TRUE(os::EnumLocalPrinters().has_value());
  const os::LocalTime now = os::GetLocalTime();
  EXPECT_GE(now.year, 2000);
  EXPECT_LE(now.month, 12);
  const std::u16string temp = os::GetTempPath();
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(temp.back(), u'\\');
}

}  // namespace

#endif  // _WIN32
