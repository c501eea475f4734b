// Directory and file helpers on the real file system (host and Wine).
#include "diag/files.h"

#include <gtest/gtest.h>

#include <string>

#include "diag/print_jobs.h"
#include "platform/os.h"
#include "support/scratch_folder.h"

namespace {

const std::u16string kSep(1, os::kWidePathSeparator);

testing_support::ScratchFolder* const gScratch = testing_support::ScratchFolder::Register();

std::u16string ScratchRoot() { return gScratch->Root(); }

TEST(EnsureDirectory, CreatesParentsAndHandlesTheTrailingSeparator) {
  EXPECT_FALSE(diag::EnsureDirectory(u"no-separator-here"));
  EXPECT_FALSE(os::PathIsDirectory(u"no-separator-here"));
  EXPECT_FALSE(diag::EnsureDirectory(u""));

  const std::u16string existing = ScratchRoot();
  EXPECT_TRUE(diag::EnsureDirectory(existing));

  const std::u16string deep = existing + kSep + u"a" + kSep + u"b" + kSep + u"c";
  EXPECT_TRUE(diag::EnsureDirectory(deep));
  EXPECT_TRUE(os::PathIsDirectory(deep));

  // The path with the separator is tried last and fails the first time.
  const std::u16string trailing = existing + kSep + u"t" + kSep;
  EXPECT_FALSE(diag::EnsureDirectory(trailing));
  EXPECT_TRUE(os::PathIsDirectory(existing + kSep + u"t"));
  EXPECT_TRUE(diag::EnsureDirectory(trailing));
}

TEST(IsExistingDirectory, TellsDirectoriesFromFiles) {
  const std::u16string dir = ScratchRoot() + kSep + u"d";
  ASSERT_TRUE(diag::EnsureDirectory(dir));
  EXPECT_TRUE(diag::IsExistingDirectory(dir));
  const std::u16string file = ScratchRoot() + kSep + u"f.txt";
  { ASSERT_TRUE(os::File::Open(file, os::File::Mode::kCreateAlways).has_value()); }
  EXPECT_FALSE(diag::IsExistingDirectory(file));
  EXPECT_FALSE(diag::IsExistingDirectory(ScratchRoot() + kSep + u"missing"));
}

TEST(ReadWholeFile, ContentsEmptyFileAndSize) {
  const std::u16string path = ScratchRoot() + kSep + u"data.bin";
  const std::string payload = "label\0stream\r\n", full(payload.data(), 14);
  {
    auto f = os::File::Open(path, os::File::Mode::kCreateAlways);
    ASSERT_TRUE(f);
    ASSERT_EQ(f->Write(full.data(), full.size()), full.size());
  }
  std::int64_t size = 0;
  diag::FileBytes bytes = diag::ReadWholeFile(*os::File::Open(path, os::File::Mode::kRead), &size);
  ASSERT_TRUE(bytes);
  ASSERT_EQ(size, 14);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.get()), 14), full);

  const std::u16string empty = ScratchRoot() + kSep + u"empty.bin";
  { ASSERT_TRUE(os::File::Open(empty, os::File::Mode::kCreateAlways)); }
  size = 77;
  EXPECT_FALSE(diag::ReadWholeFile(*os::File::Open(empty, os::File::Mode::kRead), &size));
  EXPECT_EQ(size, 77);
}

TEST(SanitizeFileName, ReplacesTheNineReservedCharactersOnly) {
  std::u16string name = u"a\"b*c/d:e<f>g?h\\i|j.k 1-2_3";
  diag::SanitizeFileName(name.data(), name.size());
  EXPECT_EQ(name, u"a_b_c_d_e_f_g_h_i_j.k 1-2_3");
  std::u16string control = u"a\tb\x1F c\x7F";
  control.insert(control.begin() + 1, u'\x01');
  diag::SanitizeFileName(control.data(), control.size());
  EXPECT_EQ(control, u"a__b_ c\x7F");  // below a space only
  std::u16string partial = u"x/y/z";
  diag::SanitizeFileName(partial.data(), 2);  // only the first count characters
  EXPECT_EQ(partial, u"x_y/z");
}

}  // namespace
