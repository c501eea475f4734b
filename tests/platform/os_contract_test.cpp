// The contract of platform/os.h, written once: the host build runs it against
// the host layer, the Windows build under Wine against the Windows layer.
// Where the two differ on purpose the expectation names the platform.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <set>
#include <string>
#include <vector>

#include "platform/os.h"
#include "registry_fixture.h"
#include "support/scratch_folder.h"

#ifdef _WIN32
#include <process.h>
#define LR_GETPID _getpid
#else
#include <unistd.h>
#define LR_GETPID getpid
#endif

namespace {

#ifdef _WIN32
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

using Mode = os::File::Mode;
const std::u16string kSep(1, os::kWidePathSeparator);

testing_support::ScratchFolder* const gScratch = testing_support::ScratchFolder::Register();

std::u16string Path(const std::u16string& name) {
  const std::u16string& root = gScratch->Root();
  EXPECT_FALSE(root.empty()) << "no scratch folder";
  return root + kSep + name;
}

bool Put(const std::u16string& path, Mode mode, const std::string& bytes) {
  std::optional<os::File> f = os::File::Open(path, mode);
  return f && f->Write(bytes.data(), bytes.size()) == bytes.size();
}

// The whole file through os::File; "<missing>" when it cannot be opened.
std::string Contents(const std::u16string& path) {
  std::optional<os::File> f = os::File::Open(path, Mode::kRead);
  if (!f) return "<missing>";
  const std::int64_t size = f->SeekToEnd();
  if (size < 0 || !f->SeekToStart()) return "<unseekable>";
  std::string bytes(static_cast<std::size_t>(size) + 1, '\0');
  bytes.resize(f->Read(bytes.data(), bytes.size()));  // one byte more than there is
  return bytes;
}

TEST(FileContract, CreateAppendAndReadInSequence) {
  const std::u16string path = Path(u"job.temp");
  const struct {
    Mode mode;
    const char* write;
    const char* after;
  } steps[] = {
      {Mode::kAppend, "HEADER", "HEADER"},            // append opens or creates
      {Mode::kAppend, "PAGE1", "HEADERPAGE1"},        // and writes at the end
      {Mode::kAppend, "", "HEADERPAGE1"},             // an empty append keeps it
      {Mode::kAppend, "PAGE2", "HEADERPAGE1PAGE2"},   // every later page too
      {Mode::kCreateAlways, "NEW", "NEW"},            // create replaces
      {Mode::kCreateAlways, "", ""},                  // even with nothing
      {Mode::kAppend, "X\r\n", "X\r\n"},              // bytes as given, CR LF kept
  };
  for (const auto& s : steps) {
    ASSERT_TRUE(Put(path, s.mode, s.write)) << s.write;
    EXPECT_EQ(Contents(path), s.after) << s.write;
  }
  // Positions: the end is the size; reading past it gives what is there.
  std::optional<os::File> f = os::File::Open(path, Mode::kRead);
  ASSERT_TRUE(f);
  EXPECT_EQ(f->SeekToEnd(), 3);
  char rest[4] = {};
  EXPECT_EQ(f->Read(rest, sizeof rest), 0u);
  ASSERT_TRUE(f->SeekToStart());
  EXPECT_EQ(f->Read(rest, sizeof rest), 3u);
  EXPECT_EQ(std::string(rest, 3), "X\r\n");
  f->Close();
  EXPECT_FALSE(f->isOpen());
  EXPECT_EQ(f->Write("a", 1), 0u);
  EXPECT_EQ(f->Read(rest, 1), 0u);
  EXPECT_EQ(f->SeekToEnd(), -1);
  EXPECT_FALSE(f->SeekToStart());
  // A writer cannot read and a reader cannot write.
  std::optional<os::File> writer = os::File::Open(path, Mode::kAppend);
  ASSERT_TRUE(writer);
  EXPECT_EQ(writer->Read(rest, 1), 0u);
  writer->Close();
  std::optional<os::File> reader = os::File::Open(path, Mode::kRead);
  ASSERT_TRUE(reader);
  EXPECT_EQ(reader->Write("z", 1), 0u);
  reader->Close();
  EXPECT_EQ(Contents(path), "X\r\n");
}

enum class Second { kOpenRead, kOpenCreate, kOpenAppend, kDelete };

bool TrySecond(const std::u16string& path, Second second) {
  switch (second) {
    case Second::kOpenRead:
      return os::File::Open(path, Mode::kRead).has_value();
    case Second::kOpenCreate:
      return os::File::Open(path, Mode::kCreateAlways).has_value();
    case Second::kOpenAppend:
      return os::File::Open(path, Mode::kAppend).has_value();
    case Second::kDelete:
      return os::DeleteFile(path);
  }
  return false;
}

TEST(FileContract, SharingWhileAFileIsOpen) {
  // Writers share reading only; readers share reading and writing, like the
  // C runtime's "rb". A POSIX host locks nothing.
  const struct {
    Mode held;
    Second second;
    bool succeeds;
  } cases[] = {
      {Mode::kCreateAlways, Second::kOpenRead, true},
      {Mode::kAppend, Second::kOpenRead, true},
      {Mode::kRead, Second::kOpenRead, true},
      {Mode::kRead, Second::kOpenCreate, true},
      {Mode::kCreateAlways, Second::kOpenCreate, !kWindows},
      {Mode::kAppend, Second::kOpenAppend, !kWindows},
      {Mode::kCreateAlways, Second::kDelete, !kWindows},
      {Mode::kRead, Second::kDelete, !kWindows},
  };
  char16_t tag = u'a';
  for (const auto& c : cases) {
    const std::u16string path = Path(std::u16string(u"shared-") + tag++);
    ASSERT_TRUE(Put(path, Mode::kCreateAlways, "data"));
    std::optional<os::File> held = os::File::Open(path, c.held);
    ASSERT_TRUE(held);
    EXPECT_EQ(TrySecond(path, c.second), c.succeeds) << "case " << char(tag - 1);
  }
}

TEST(FileContract, MissingFilesAndFolders) {
  const std::u16string dir = Path(u"there");
  const std::u16string file = Path(u"plain.txt");
  const std::u16string missingDir = Path(u"not there");
  ASSERT_TRUE(os::CreateDirectory(dir));
  ASSERT_TRUE(Put(file, Mode::kCreateAlways, "x"));

  EXPECT_FALSE(os::File::Open(Path(u"absent.bin"), Mode::kRead));
  for (Mode mode : {Mode::kRead, Mode::kCreateAlways, Mode::kAppend}) {
    EXPECT_FALSE(os::File::Open(missingDir + kSep + u"f.bin", mode));
  }
  EXPECT_FALSE(os::GetTempFileName(missingDir, u"lrc"));
  EXPECT_FALSE(os::CreateDirectory(missingDir + kSep + u"child"));  // no parents made
  EXPECT_FALSE(os::CreateDirectory(dir));                           // exists already
  EXPECT_FALSE(os::CreateDirectory(file));                          // a file has the name
  EXPECT_FALSE(os::DeleteFile(Path(u"absent.bin")));
  EXPECT_FALSE(os::DeleteFile(dir));  // directories are not files
  EXPECT_TRUE(os::PathIsDirectory(dir));
  EXPECT_FALSE(os::CopyFile(Path(u"absent.bin"), Path(u"copy.bin"), false));
  EXPECT_EQ(Contents(Path(u"copy.bin")), "<missing>");

  const struct {
    std::u16string path;
    bool isDirectory;
  } kinds[] = {{dir, true}, {file, false}, {missingDir, false}, {dir + kSep, true}};
  for (const auto& k : kinds) {
    EXPECT_EQ(os::PathIsDirectory(k.path), k.isDirectory);
    if (k.path.back() != os::kWidePathSeparator) {  // FindFirstFileW takes no trailing separator
      EXPECT_EQ(os::FindIsDirectory(k.path), k.isDirectory);
    }
  }
}

TEST(FileContract, CopyWithAndWithoutReplacing) {
  const std::u16string from = Path(u"from.prn");
  const std::u16string to = Path(u"to.prn");
  ASSERT_TRUE(Put(from, Mode::kCreateAlways, std::string("SIZE\r\n\0\xFF", 8)));
  EXPECT_TRUE(os::CopyFile(from, to, true));  // a new name: copied
  EXPECT_EQ(Contents(to), std::string("SIZE\r\n\0\xFF", 8));
  ASSERT_TRUE(Put(to, Mode::kCreateAlways, "older"));
  EXPECT_FALSE(os::CopyFile(from, to, true));  // without replacing: refused
  EXPECT_EQ(Contents(to), "older");
  EXPECT_TRUE(os::CopyFile(from, to, false));  // replacing
  EXPECT_EQ(Contents(to), Contents(from));
  const std::u16string folder = Path(u"a folder");
  ASSERT_TRUE(os::CreateDirectory(folder));
  EXPECT_FALSE(os::CopyFile(from, folder, false));  // a folder is not replaced
  EXPECT_TRUE(os::PathIsDirectory(folder));
  EXPECT_FALSE(os::CopyFile(folder, Path(u"folder copy"), false));
  EXPECT_TRUE(os::DeleteFile(from));
  EXPECT_EQ(Contents(from), "<missing>");
  EXPECT_EQ(Contents(to), std::string("SIZE\r\n\0\xFF", 8));
}

TEST(FileContract, TemporaryFolderAndNames) {
  const std::u16string temp = os::GetTempPath();
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(temp.back(), os::kWidePathSeparator);
  EXPECT_TRUE(os::PathIsDirectory(temp));

  const std::u16string dir = Path(u"names");
  ASSERT_TRUE(os::CreateDirectory(dir));
  std::set<std::u16string> names;
  for (int i = 0; i < 20; ++i) {
    // Only three characters of the prefix are used.
    std::optional<std::u16string> name = os::GetTempFileName(dir, u"driver_");
    ASSERT_TRUE(name);
    ASSERT_GT(name->size(), dir.size() + 1 + 3 + 4);
    EXPECT_EQ(name->substr(0, dir.size() + 4), dir + kSep + u"dri");
    EXPECT_EQ(name->substr(name->size() - 4), u".tmp");
    EXPECT_EQ(Contents(*name), "");  // created, empty: the name is taken
    names.insert(*name);
  }
  EXPECT_EQ(names.size(), 20u);
}

TEST(FileContract, LongAndNonAsciiNames) {
  const std::u16string dir = Path(u"Répertoire 目录");
  ASSERT_TRUE(os::CreateDirectory(dir));
  EXPECT_TRUE(os::FindIsDirectory(dir));
  // The longest path the 260-character buffers of the core hold.
  const std::size_t room = 259 - (dir.size() + 1);
  ASSERT_GT(room, 100u);
  const std::u16string longName(room, u'L');
  const std::u16string names[] = {u"Étiquette été.prn", u"ラベル印刷_标签.prn",
                                  u"label \U0001F600.prn", longName};
  for (const std::u16string& name : names) {
    const std::u16string path = dir + kSep + name;
    ASSERT_TRUE(Put(path, Mode::kCreateAlways, "A")) << path.size();
    ASSERT_TRUE(Put(path, Mode::kAppend, "B"));
    EXPECT_EQ(Contents(path), "AB");
    EXPECT_FALSE(os::PathIsDirectory(path));
    EXPECT_FALSE(os::FindIsDirectory(path));
    const std::u16string copy = Path(name.size() > 100 ? u"long copy" : name);
    EXPECT_TRUE(os::CopyFile(path, copy, true));
    EXPECT_EQ(Contents(copy), "AB");
    EXPECT_TRUE(os::DeleteFile(path));
    EXPECT_EQ(Contents(path), "<missing>");
  }
  EXPECT_EQ(longName.size() + dir.size() + 1, 259u);
  // Temporary names in a non-ASCII folder.
  std::optional<std::u16string> temp = os::GetTempFileName(dir, u"lrc");
  ASSERT_TRUE(temp);
  EXPECT_EQ(temp->substr(0, dir.size()), dir);
  EXPECT_EQ(Contents(*temp), "");
}

TEST(TimeContract, LocalTimeIsTheCRuntimesLocalTime) {
  const std::time_t before = std::time(nullptr);
  const os::LocalTime t = os::GetLocalTime();
  const std::time_t after = std::time(nullptr);
  std::tm parts{};
  parts.tm_year = t.year - 1900;
  parts.tm_mon = t.month - 1;
  parts.tm_mday = t.day;
  parts.tm_hour = t.hour;
  parts.tm_min = t.minute;
  parts.tm_sec = t.second;
  parts.tm_isdst = -1;
  const std::time_t seen = std::mktime(&parts);
  EXPECT_GE(seen, before - 1);
  EXPECT_LE(seen, after + 1);
}

class RegistryContract : public ::testing::Test {
 protected:
  void SetUp() override {
    key_ = u"SOFTWARE\\labelrender contract " + Number(LR_GETPID());
    if (!contract::AddKey(key_)) GTEST_SKIP() << "HKEY_LOCAL_MACHINE is not writable here";
  }
  void TearDown() override { contract::RemoveTree(key_); }
  static std::u16string Number(int n) {
    const std::string s = std::to_string(n);
    return std::u16string(s.begin(), s.end());
  }
  std::u16string key_;
};

TEST_F(RegistryContract, KeysSubkeysAndValueSizes) {
  // Subkeys made out of alphabetical order: the order of enumeration is the
  // registry's, only the set is relied on.
  for (const char16_t* sub : {u"Shelf", u"address", u"Étiquette"}) {
    ASSERT_TRUE(contract::AddKey(key_ + u"\\" + sub));
  }
  const std::vector<std::uint8_t> four = {4, 3, 2, 1};
  ASSERT_TRUE(contract::SetBytes(key_, u"mmLabelWidth", four));
  ASSERT_TRUE(contract::SetBytes(key_, u"Three", {1, 2, 3}));
  ASSERT_TRUE(contract::SetBytes(key_, u"Five", {1, 2, 3, 4, 5}));
  ASSERT_TRUE(contract::SetBytes(key_, u"Empty", {}));
  ASSERT_TRUE(contract::SetString(key_, u"Name", u"Étiquette 100×150"));

  EXPECT_FALSE(os::RegistryKey::OpenLocalMachine(key_ + u"\\missing"));
  // Paths and names compare without case.
  std::optional<os::RegistryKey> key = os::RegistryKey::OpenLocalMachine(
      u"software\\LABELRENDER CONTRACT " + Number(LR_GETPID()));
  ASSERT_TRUE(key);

  std::set<std::u16string> subkeys;
  std::u16string name;
  std::uint32_t index = 0;
  for (; key->EnumSubkey(index, &name) && index < 10; ++index) subkeys.insert(name);
  EXPECT_EQ(index, 3u);
  EXPECT_EQ(subkeys, (std::set<std::u16string>{u"Shelf", u"address", u"Étiquette"}));
  EXPECT_TRUE(os::RegistryKey::OpenLocalMachine(key_ + u"\\éTIQUETTE").has_value());

  const struct {
    const char16_t* value;
    bool isDword;
  } sizes[] = {{u"mmLabelWidth", true}, {u"MMLABELWIDTH", true}, {u"Three", false},
               {u"Five", false},        {u"Empty", false},       {u"Name", false},
               {u"Missing", false}};
  for (const auto& s : sizes) {
    std::uint32_t value = 77;
    EXPECT_EQ(key->QueryDword(s.value, &value), s.isDword);
    EXPECT_EQ(value, s.isDword ? 0x01020304u : 77u);
  }
  EXPECT_EQ(key->QueryString(u"name"), std::u16string(u"Étiquette 100×150"));
  EXPECT_FALSE(key->QueryString(u"mmLabelWidth"));
  EXPECT_FALSE(key->QueryString(u"Missing"));

  // A moved-from key is closed; the moved-to one still reads.
  os::RegistryKey moved = std::move(*key);
  std::uint32_t value = 0;
  EXPECT_TRUE(moved.QueryDword(u"mmLabelWidth", &value));
}

TEST(StringResourceContract, MessageTableOfThisModule) {
  // Ids 74 to 82 are the user messages; the ids either side are not there.
  for (std::uint32_t id = 73; id <= 83; ++id) {
    char16_t buffer[260] = {u'?'};
    const int n = os::LoadStringW(os::ThisModule(), id, buffer, 260);
    const bool present = id >= 74 && id <= 82;
    EXPECT_EQ(n > 0, present) << id;
    EXPECT_EQ(std::char_traits<char16_t>::length(buffer), static_cast<std::size_t>(n)) << id;
  }
  const std::u16string text = u"Select a media size supported by your printer.";
  char16_t buffer[260] = {};
  EXPECT_EQ(os::LoadStringW(os::ThisModule(), 82, buffer, 260), static_cast<int>(text.size()));
  EXPECT_EQ(std::u16string(buffer), text);
  // A short buffer gets capacity - 1 characters and the terminator.
  for (int capacity : {2, 10, static_cast<int>(text.size()), static_cast<int>(text.size()) + 1}) {
    std::fill(std::begin(buffer), std::end(buffer), u'?');
    const int n = os::LoadStringW(os::ThisModule(), 82, buffer, capacity);
    const int kept = std::min(capacity - 1, static_cast<int>(text.size()));
    EXPECT_EQ(n, kept) << capacity;
    EXPECT_EQ(std::u16string(buffer), text.substr(0, kept)) << capacity;
    EXPECT_EQ(buffer[capacity], u'?') << capacity;  // nothing written beyond
  }
  EXPECT_EQ(os::LoadStringW(os::ThisModule(), 82, buffer, 1), 0);  // room for no character
}

TEST(MemoryContract, HeapAndLocalBlocksStartZeroed) {
  auto* heap = static_cast<std::uint8_t*>(os::ProcessHeapAlloc(520));
  ASSERT_NE(heap, nullptr);
  EXPECT_TRUE(std::all_of(heap, heap + 520, [](std::uint8_t b) { return b == 0; }));
  std::memset(heap, 0x5A, 520);
  auto* shrunk = static_cast<std::uint8_t*>(os::ProcessHeapReAlloc(heap, 94));
  ASSERT_NE(shrunk, nullptr);  // shrinking keeps the kept bytes
  EXPECT_TRUE(std::all_of(shrunk, shrunk + 94, [](std::uint8_t b) { return b == 0x5A; }));
  os::ProcessHeapFree(shrunk);
  os::ProcessHeapFree(nullptr);

  auto* local = static_cast<std::uint8_t*>(os::LocalAllocZero(4096));
  ASSERT_NE(local, nullptr);
  EXPECT_TRUE(std::all_of(local, local + 4096, [](std::uint8_t b) { return b == 0; }));
  os::LocalFree(local);
  os::LocalFree(nullptr);
}

TEST(ProcessContract, IdentityErrorsLibrariesAndSpoolerRefusals) {
  EXPECT_EQ(os::CurrentProcessId(), static_cast<std::uint32_t>(LR_GETPID()));
  for (winabi::DWORD code : {0u, 2u, 1234u, 0xFFFFFFFFu}) {
    os::SetLastError(code);
    EXPECT_EQ(os::GetLastError(), code);
  }
  EXPECT_EQ(os::LoadLibraryA("no such library here.dll"), nullptr);
  EXPECT_EQ(os::LoadLibraryA(nullptr), nullptr);
  os::FreeLibrary(nullptr);
  EXPECT_NE(os::ThisModule(), nullptr);

  // The driver directory: refused when the buffer cannot hold it and its
  // terminator, answered when it can.
  char dir[260] = {};
  ASSERT_TRUE(os::GetPrinterDriverDirectoryA(dir, sizeof dir));
  const std::size_t length = std::strlen(dir);
  ASSERT_GT(length, 0u);
  EXPECT_FALSE(os::GetPrinterDriverDirectoryA(dir, static_cast<std::uint32_t>(length)));
  EXPECT_TRUE(os::GetPrinterDriverDirectoryA(dir, static_cast<std::uint32_t>(length + 1)));

  // Calls on a printer handle that is no printer fail.
  EXPECT_FALSE(os::GetPrinterInfo(nullptr));
  EXPECT_FALSE(os::EnumJobs(nullptr, 0, 10));
  EXPECT_TRUE(os::EnumLocalPrinters().has_value());

  std::uintptr_t token = 0;
  ASSERT_TRUE(os::GdiplusStartup(&token));
  EXPECT_NE(token, 0u);
  os::GdiplusShutdown(token);
  winabi::PALETTEENTRY entries[2] = {};
  EXPECT_EQ(os::GetPaletteEntries(nullptr, 0, 2, entries), 0u);
}

}  // namespace
