// The contract of platform/os.h, written once: the host build runs it against
// the host layer, the Windows build under Wine against the Windows layer.
// Where the two differ on purpose the expectation names the platform.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "platform/os.h"
#ifndef _WIN32
#include "platform/host/world.h"
#endif
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
  // A short buffer gets capacity - 1 characters and the terminator; one with
  // room for no character is not written at all (as Windows does).
  for (int capacity : {1, 2, 10, static_cast<int>(text.size()), static_cast<int>(text.size()) + 1}) {
    std::fill(std::begin(buffer), std::end(buffer), u'?');
    const int n = os::LoadStringW(os::ThisModule(), 82, buffer, capacity);
    const int kept = std::min(capacity - 1, static_cast<int>(text.size()));
    EXPECT_EQ(n, kept) << capacity;
    if (capacity > 1) {
      EXPECT_EQ(std::u16string(buffer, kept + 1), text.substr(0, kept) + u'\0');
    }
    EXPECT_EQ(buffer[capacity > 1 ? capacity : 0], u'?') << capacity;  // nothing written beyond
  }
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

#ifndef _WIN32
// The host layer's own world: the spooler's standard forms, engine surfaces
// (which Wine lacks) and the UTF-16 to UTF-8 conversion of host paths.

// Every standard form of a Windows print server, in its own unit, in the
// spooler's order: sizes in thousandths of a millimetre, built in, all
// imageable.
TEST(HostWorld, StandardFormsInTheSpoolersOrder) {
  constexpr double kInch = 25400, kMm = 1000;
  const struct {
    const char16_t* name;
    double width, height, unit;
  } kForms[] = {
      {u"Letter", 8.5, 11, kInch},          {u"Letter Small", 8.5, 11, kInch},
      {u"Tabloid", 11, 17, kInch},          {u"Ledger", 17, 11, kInch},
      {u"Legal", 8.5, 14, kInch},           {u"Statement", 5.5, 8.5, kInch},
      {u"Executive", 7.25, 10.5, kInch},    {u"A3", 297, 420, kMm},
      {u"A4", 210, 297, kMm},               {u"A4 Small", 210, 297, kMm},
      {u"A5", 148, 210, kMm},               {u"B4 (JIS)", 257, 364, kMm},
      {u"B5 (JIS)", 182, 257, kMm},         {u"Folio", 8.5, 13, kInch},
      {u"Quarto", 215, 275, kMm},           {u"10x14", 10, 14, kInch},
      {u"11x17", 11, 17, kInch},            {u"Note", 8.5, 11, kInch},
      {u"Envelope #9", 3.875, 8.875, kInch}, {u"Envelope #10", 4.125, 9.5, kInch},
      {u"Envelope #11", 4.5, 10.375, kInch}, {u"Envelope #12", 4.75, 11, kInch},
      {u"Envelope #14", 5, 11.5, kInch},    {u"C size sheet", 17, 22, kInch},
      {u"D size sheet", 22, 34, kInch},     {u"E size sheet", 34, 44, kInch},
      {u"Envelope DL", 110, 220, kMm},      {u"Envelope C5", 162, 229, kMm},
      {u"Envelope C3", 324, 458, kMm},      {u"Envelope C4", 229, 324, kMm},
      {u"Envelope C6", 114, 162, kMm},      {u"Envelope C65", 114, 229, kMm},
      {u"Envelope B4", 250, 353, kMm},      {u"Envelope B5", 176, 250, kMm},
      {u"Envelope B6", 176, 125, kMm},      {u"Envelope", 110, 230, kMm},
      {u"Envelope Monarch", 3.875, 7.5, kInch}, {u"6 3/4 Envelope", 3.625, 6.5, kInch},
      {u"US Std Fanfold", 14.875, 11, kInch}, {u"German Std Fanfold", 8.5, 12, kInch},
      {u"German Legal Fanfold", 8.5, 13, kInch},
  };
  host::ResetWorld();
  const os::PrinterHandle printer = host::AddPrinter({u"Forms", u"Driver", std::nullopt, 0, {}});
  const std::optional<std::vector<os::FormInfo>> forms = os::EnumForms(printer);
  ASSERT_TRUE(forms);
  ASSERT_EQ(forms->size(), std::size(kForms));
  for (std::size_t i = 0; i < forms->size(); ++i) {
    const os::FormInfo& f = (*forms)[i];
    const std::int32_t cx = static_cast<std::int32_t>(kForms[i].width * kForms[i].unit + 0.5);
    const std::int32_t cy = static_cast<std::int32_t>(kForms[i].height * kForms[i].unit + 0.5);
    SCOPED_TRACE(host::ToUtf8(kForms[i].name));
    EXPECT_EQ(f.name, kForms[i].name);
    EXPECT_EQ(f.flags, 2u);  // FORM_BUILTIN
    EXPECT_EQ(std::tie(f.size.cx, f.size.cy), std::tie(cx, cy));
    EXPECT_EQ(std::tie(f.imageableArea.left, f.imageableArea.top, f.imageableArea.right,
                       f.imageableArea.bottom),
              std::make_tuple(0, 0, cx, cy));
  }
  EXPECT_FALSE(os::EnumForms(nullptr));
  host::ResetWorld();
}

// 8-bit top-down bitmaps, rows padded to four bytes; no side may be 0.
TEST(HostWorld, EngineSurfacesOfEveryShape) {
  const struct {
    std::int32_t cx, cy;
    std::int32_t stride;  // 0: refused
  } kCases[] = {{1, 1, 4}, {0, 1, 0}, {1, 0, 0}, {-1, 5, 0}, {4, 3, 4}, {5, 2, 8}, {8, 1, 8}};
  host::ResetWorld();
  for (const auto& c : kCases) {
    SCOPED_TRACE(::testing::Message() << c.cx << " x " << c.cy);
    const winabi::HSURF handle = os::EngCreateBitmap(winabi::SIZEL{c.cx, c.cy});
    ASSERT_EQ(handle != nullptr, c.stride != 0);
    if (handle == nullptr) continue;
    winabi::SURFOBJ* surface = os::EngLockSurface(handle);
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(surface->lDelta, c.stride);
    EXPECT_EQ(surface->cjBits, static_cast<winabi::ULONG>(c.stride * c.cy));
    EXPECT_EQ(std::tie(surface->sizlBitmap.cx, surface->sizlBitmap.cy), std::tie(c.cx, c.cy));
    os::EngUnlockSurface(surface);
    EXPECT_TRUE(os::EngDeleteSurface(handle));
    EXPECT_FALSE(os::EngDeleteSurface(handle));
  }
  EXPECT_EQ(host::TheWorld().surfacesLive, 0);
  host::ResetWorld();
}

// Both sides of every range: one, two, three and four bytes, the surrogate
// ranges' edges, and surrogates that make no pair (kept as three bytes each,
// as they come back).
TEST(HostWorld, Utf16AndUtf8BothWays) {
  const struct {
    std::u16string wide;
    std::string narrow;
  } kCases[] = {
      {u"\x7F", "\x7F"},
      {u"\x80", "\xC2\x80"},
      {u"\u07FF", "\xDF\xBF"},
      {u"\u0800", "\xE0\xA0\x80"},
      {u"\uD7FF", "\xED\x9F\xBF"},
      {u"\uE000", "\xEE\x80\x80"},
      {u"\uFFFF", "\xEF\xBF\xBF"},
      {u"\U00010000", "\xF0\x90\x80\x80"},
      {u"\U0001F600", "\xF0\x9F\x98\x80"},
      {u"\U0010FFFF", "\xF4\x8F\xBF\xBF"},
      {std::u16string{0xD800, 0xDFFF}, "\xF0\x90\x8F\xBF"},
      {std::u16string{0xDBFF, 0xDC00}, "\xF4\x8F\xB0\x80"},
      {std::u16string{0xD800, 0xDBFF}, "\xED\xA0\x80\xED\xAF\xBF"},
      {std::u16string{0xD800, 0xE000}, "\xED\xA0\x80\xEE\x80\x80"},
      {std::u16string{0xDC00, 0xDC00}, "\xED\xB0\x80\xED\xB0\x80"},
      {std::u16string{u'a', 0xD800}, "a\xED\xA0\x80"},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(host::ToUtf8(c.wide), c.narrow) << host::ToUtf8(c.wide).size();
    EXPECT_EQ(host::FromUtf8(c.narrow), c.wide) << c.narrow.size();
  }
}
#endif

}  // namespace
