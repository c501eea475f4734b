// The media store over a real Windows registry (Wine in the test run): what
// a printer without forms gives. The registry and spooler calls themselves
// are the os.h contract's.
#include <gtest/gtest.h>

#ifdef _WIN32

#include "platform/os.h"
#include "settings/form_manager.h"
#include "settings/media_store.h"

namespace {

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

}  // namespace

#endif  // _WIN32
