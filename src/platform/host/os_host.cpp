// Host implementation of the operating-system boundary over host::World.
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <new>
#include <system_error>

#include "platform/host/faults.h"
#include "platform/host/world.h"
#include "platform/os.h"

namespace host {

namespace {

World& WorldStorage() {
  static World world;
  return world;
}
int gModuleTag = 0;
int gPaletteTag = 0;

// The message table shipped in the resource module, generated from its .rc.
const std::map<std::uint32_t, std::u16string>& ShippedStrings() {
  static const std::map<std::uint32_t, std::u16string> table = {
#include "messages_table.inc"
  };
  return table;
}

// Registry and spooler names compare without case, Latin-1 letters included
// (U+00F7 is the division sign, not a letter).
std::u16string Upper(const std::u16string& text) {
  std::u16string upper = text;
  for (char16_t& c : upper) {
    if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) {
      c = static_cast<char16_t>(c - 0x20);
    }
  }
  return upper;
}

RegistryValue& ValueSlot(const std::u16string& keyPath, const std::u16string& name) {
  AddRegistryKey(keyPath);
  RegistryKeyData& key = TheWorld().registry[Upper(keyPath)];
  for (RegistryValue& v : key.values) {
    if (Upper(v.name) == Upper(name)) return v;
  }
  key.values.push_back(RegistryValue{name, {}, false});
  return key.values.back();
}

os::FormInfo StandardForm(const char16_t* name, std::int32_t cx, std::int32_t cy) {
  constexpr std::uint32_t kFormBuiltin = 2;
  return os::FormInfo{kFormBuiltin, name, {cx, cy}, {0, 0, cx, cy}};
}

}  // namespace

World::World() : pluginStrings(ShippedStrings()), resourceModuleStrings(ShippedStrings()) {
  forms = StandardForms();
}

World& TheWorld() { return WorldStorage(); }
void ResetWorld() { WorldStorage() = World{}; }
void* HostModuleHandle() { return &gModuleTag; }
void* HostPaletteHandle() { return &gPaletteTag; }

void AddRegistryKey(const std::u16string& path) {
  World& w = TheWorld();
  std::u16string parent;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find(u'\\', start);
    if (end == std::u16string::npos) end = path.size();
    const std::u16string part = path.substr(start, end - start);
    const std::u16string current = parent.empty() ? part : parent + u'\\' + part;
    if (!part.empty() && w.registry.find(Upper(current)) == w.registry.end()) {
      w.registry[Upper(current)] = RegistryKeyData{};
      if (!parent.empty()) w.registry[Upper(parent)].subkeys.push_back(part);
    }
    if (!part.empty()) parent = current;
    start = end + 1;
  }
}

void SetRegistryDword(const std::u16string& keyPath, const std::u16string& name,
                      std::uint32_t value) {
  std::vector<std::uint8_t> bytes(4);
  std::memcpy(bytes.data(), &value, 4);
  SetRegistryBytes(keyPath, name, bytes);
}

void SetRegistryBytes(const std::u16string& keyPath, const std::u16string& name,
                      const std::vector<std::uint8_t>& bytes) {
  RegistryValue& v = ValueSlot(keyPath, name);
  v.data = bytes;
  v.isString = false;
}

void RemoveRegistryValue(const std::u16string& keyPath, const std::u16string& name) {
  auto it = TheWorld().registry.find(Upper(keyPath));
  if (it == TheWorld().registry.end()) return;
  auto& values = it->second.values;
  for (auto v = values.begin(); v != values.end(); ++v) {
    if (Upper(v->name) == Upper(name)) {
      values.erase(v);
      return;
    }
  }
}

void SetRegistryString(const std::u16string& keyPath, const std::u16string& name,
                       const std::u16string& value) {
  RegistryValue& v = ValueSlot(keyPath, name);
  v.data.resize((value.size() + 1) * 2);
  std::memcpy(v.data.data(), value.c_str(), v.data.size());
  v.isString = true;
}

os::PrinterHandle AddPrinter(const Printer& printer) {
  TheWorld().printers.push_back(printer);
  return PrinterHandleOf(printer.name);
}

os::PrinterHandle PrinterHandleOf(const std::u16string& name) {
  const std::vector<Printer>& printers = TheWorld().printers;
  for (std::size_t i = 0; i < printers.size(); ++i) {
    if (printers[i].name == name) return reinterpret_cast<os::PrinterHandle>(0x5000 + i);
  }
  return nullptr;
}

std::u16string FormsKeyPath(const std::u16string& printerName) {
  return u"SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\" + printerName +
         u"\\PrinterDriverData\\Forms";
}

void AddMediaDefinition(const std::u16string& printerName, const std::u16string& formName,
                        const std::map<std::u16string, std::uint32_t>& values) {
  const std::u16string key = FormsKeyPath(printerName) + u'\\' + formName;
  AddRegistryKey(key);
  for (const auto& [name, value] : values) SetRegistryDword(key, name, value);
}

std::vector<os::FormInfo> StandardForms() {
  return {
      StandardForm(u"Letter", 215900, 279400),
      StandardForm(u"Letter Small", 215900, 279400),
      StandardForm(u"Tabloid", 279400, 431800),
      StandardForm(u"Ledger", 431800, 279400),
      StandardForm(u"Legal", 215900, 355600),
      StandardForm(u"Statement", 139700, 215900),
      StandardForm(u"Executive", 184150, 266700),
      StandardForm(u"A3", 297000, 420000),
      StandardForm(u"A4", 210000, 297000),
      StandardForm(u"A4 Small", 210000, 297000),
      StandardForm(u"A5", 148000, 210000),
      StandardForm(u"B4 (JIS)", 257000, 364000),
      StandardForm(u"B5 (JIS)", 182000, 257000),
      StandardForm(u"Folio", 215900, 330200),
      StandardForm(u"Quarto", 215000, 275000),
      StandardForm(u"10x14", 254000, 355600),
      StandardForm(u"11x17", 279400, 431800),
      StandardForm(u"Note", 215900, 279400),
      StandardForm(u"Envelope #9", 98425, 225425),
      StandardForm(u"Envelope #10", 104775, 241300),
      StandardForm(u"Envelope #11", 114300, 263525),
      StandardForm(u"Envelope #12", 120650, 279400),
      StandardForm(u"Envelope #14", 127000, 292100),
      StandardForm(u"C size sheet", 431800, 558800),
      StandardForm(u"D size sheet", 558800, 863600),
      StandardForm(u"E size sheet", 863600, 1117600),
      StandardForm(u"Envelope DL", 110000, 220000),
      StandardForm(u"Envelope C5", 162000, 229000),
      StandardForm(u"Envelope C3", 324000, 458000),
      StandardForm(u"Envelope C4", 229000, 324000),
      StandardForm(u"Envelope C6", 114000, 162000),
      StandardForm(u"Envelope C65", 114000, 229000),
      StandardForm(u"Envelope B4", 250000, 353000),
      StandardForm(u"Envelope B5", 176000, 250000),
      StandardForm(u"Envelope B6", 176000, 125000),
      StandardForm(u"Envelope", 110000, 230000),
      StandardForm(u"Envelope Monarch", 98425, 190500),
      StandardForm(u"6 3/4 Envelope", 92075, 165100),
      StandardForm(u"US Std Fanfold", 377825, 279400),
      StandardForm(u"German Std Fanfold", 215900, 304800),
      StandardForm(u"German Legal Fanfold", 215900, 330200),
  };
}

std::string ToUtf8(const std::u16string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::u16string FromUtf8(const std::string& text) {
  std::u16string out;
  for (std::size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    std::uint32_t c = b;
    std::size_t extra = 0;
    if (b >= 0xF0) {
      c = b & 0x07;
      extra = 3;
    } else if (b >= 0xE0) {
      c = b & 0x0F;
      extra = 2;
    } else if (b >= 0xC0) {
      c = b & 0x1F;
      extra = 1;
    }
    ++i;
    for (std::size_t k = 0; k < extra && i < text.size(); ++k, ++i) {
      c = (c << 6) | (static_cast<unsigned char>(text[i]) & 0x3F);
    }
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  return out;
}

}  // namespace host

namespace os {

namespace {

constexpr std::uintptr_t kLibraryHandleBase = 0x10000;
thread_local winabi::DWORD gLastError = 0;

const host::Printer* PrinterOf(PrinterHandle handle) {
  const auto index = reinterpret_cast<std::uintptr_t>(handle);
  const std::vector<host::Printer>& printers = host::TheWorld().printers;
  if (index < 0x5000 || index - 0x5000 >= printers.size()) return nullptr;
  return &printers[index - 0x5000];
}

PrinterInfo InfoOf(const host::Printer& p) {
  return PrinterInfo{p.name, p.serverName, p.driverName, p.status,
                     static_cast<std::uint32_t>(p.jobs.size())};
}

bool SameFormName(const std::u16string& a, const std::u16string& b) {
  return host::Upper(a) == host::Upper(b);
}

}  // namespace

void SetLastError(winabi::DWORD code) { gLastError = code; }
winabi::DWORD GetLastError() { return gLastError; }

bool GetPrinterDriverDirectoryA(char* buf, std::uint32_t size) {
  const std::string& dir = host::TheWorld().driverDirectory;
  if (dir.empty() || buf == nullptr || dir.size() + 1 > size) return false;
  std::memcpy(buf, dir.c_str(), dir.size() + 1);
  return true;
}

ModuleHandle LoadLibraryA(const char* path) {
  host::World& w = host::TheWorld();
  if (path == nullptr) return nullptr;
  for (const std::string& lib : w.loadableLibraries) {
    if (lib == path) {
      w.loadedLibraries.push_back(lib);
      // Handles are distinct non-null values, never dereferenced.
      return reinterpret_cast<ModuleHandle>(kLibraryHandleBase + w.loadedLibraries.size());
    }
  }
  return nullptr;
}

void FreeLibrary(ModuleHandle module) {
  if (module != nullptr) host::TheWorld().freedLibraries++;
}

ModuleHandle ThisModule() { return host::HostModuleHandle(); }

winabi::HPALETTE CreateBgrPalette() {
  host::World& w = host::TheWorld();
  if (w.paletteCreationFails) return nullptr;
  w.palettesCreated++;
  return host::HostPaletteHandle();
}

namespace {

// A host surface: the engine's record and the bits it points at.
struct HostSurface {
  winabi::SURFOBJ object{};
  std::vector<std::uint8_t> bits;
};
// Larger bitmaps are refused, as the engine refuses what it cannot map.
constexpr std::uint64_t kMaxSurfaceBytes = std::uint64_t{1} << 28;

std::map<void*, std::unique_ptr<HostSurface>>& Surfaces() {
  static std::map<void*, std::unique_ptr<HostSurface>> surfaces;
  return surfaces;
}

}  // namespace

winabi::HSURF EngCreateBitmap(winabi::SIZEL size) {
  host::World& w = host::TheWorld();
  if (w.surfaceCreationFails || size.cx <= 0 || size.cy <= 0) return nullptr;
  if (host::AllocationFails()) return nullptr;  // the engine's memory, as any other
  // 8-bit rows padded to 4 bytes, as the engine lays them out.
  const std::uint64_t stride = (static_cast<std::uint64_t>(size.cx) + 3) & ~std::uint64_t{3};
  const std::uint64_t bytes = stride * static_cast<std::uint64_t>(size.cy);
  if (bytes > kMaxSurfaceBytes) return nullptr;
  std::unique_ptr<HostSurface> surface;
  try {
    surface = std::make_unique<HostSurface>();
    surface->bits.resize(static_cast<std::size_t>(bytes));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  winabi::SURFOBJ& o = surface->object;
  o.sizlBitmap = size;
  o.cjBits = static_cast<winabi::ULONG>(bytes);
  o.pvBits = surface->bits.data();
  o.pvScan0 = surface->bits.data();
  o.lDelta = static_cast<winabi::LONG>(stride);
  o.iBitmapFormat = 3;  // BMF_8BPP
  o.hsurf = surface.get();
  void* handle = surface.get();
  Surfaces()[handle] = std::move(surface);
  w.surfacesCreated++;
  w.surfacesLive++;
  return handle;
}

winabi::SURFOBJ* EngLockSurface(winabi::HSURF surface) {
  host::World& w = host::TheWorld();
  auto it = Surfaces().find(surface);
  if (w.surfaceLockFails || it == Surfaces().end()) return nullptr;
  w.surfacesLocked++;
  return &it->second->object;
}

void EngUnlockSurface(winabi::SURFOBJ* object) {
  if (object != nullptr) host::TheWorld().surfacesLocked--;
}

bool EngDeleteSurface(winabi::HSURF surface) {
  if (Surfaces().erase(surface) == 0) return false;
  host::TheWorld().surfacesLive--;
  return true;
}

std::uint32_t GetPaletteEntries(winabi::HPALETTE palette, std::uint32_t first, std::uint32_t count,
                                winabi::PALETTEENTRY* entries) {
  const std::vector<winabi::PALETTEENTRY>& all = host::TheWorld().paletteEntries;
  if (palette == nullptr || entries == nullptr || first >= all.size()) return 0;
  std::uint32_t n = 0;
  for (; n < count && first + n < all.size(); ++n) entries[n] = all[first + n];
  return n;
}

bool GdiplusStartup(std::uintptr_t* token) {
  host::World& w = host::TheWorld();
  w.gdiplusStartups++;
  w.lastGdiplusToken = static_cast<std::uintptr_t>(0x1000 + w.gdiplusStartups);
  *token = w.lastGdiplusToken;
  return true;
}

void GdiplusShutdown(std::uintptr_t token) {
  host::World& w = host::TheWorld();
  w.gdiplusShutdowns++;
  w.lastShutdownToken = token;
}

// ---- Registry ----

std::optional<RegistryKey> RegistryKey::OpenLocalMachine(const std::u16string& path) {
  auto& registry = host::TheWorld().registry;
  auto it = registry.find(host::Upper(path));
  if (it == registry.end()) return std::nullopt;
  // The handle is a heap copy of the key's path; the key is looked up on use,
  // so a test may change the world while a key is open.
  return RegistryKey(new std::u16string(it->first));
}

RegistryKey::~RegistryKey() { delete static_cast<std::u16string*>(handle_); }

namespace {
const host::RegistryKeyData* KeyData(void* handle) {
  if (handle == nullptr) return nullptr;
  auto& registry = host::TheWorld().registry;
  auto it = registry.find(*static_cast<std::u16string*>(handle));
  return it == registry.end() ? nullptr : &it->second;
}
const host::RegistryValue* FindValue(void* handle, const char16_t* name) {
  const host::RegistryKeyData* key = KeyData(handle);
  if (key == nullptr || name == nullptr) return nullptr;
  for (const host::RegistryValue& v : key->values) {
    if (host::Upper(v.name) == host::Upper(name)) return &v;
  }
  return nullptr;
}
}  // namespace

bool RegistryKey::EnumSubkey(std::uint32_t index, std::u16string* name) const {
  const host::RegistryKeyData* key = KeyData(handle_);
  if (key == nullptr || name == nullptr || index >= key->subkeys.size()) return false;
  *name = key->subkeys[index].substr(0, 259);
  return true;
}

bool RegistryKey::QueryDword(const char16_t* valueName, std::uint32_t* value) const {
  const host::RegistryValue* v = FindValue(handle_, valueName);
  if (v == nullptr || v->data.size() != 4 || value == nullptr) return false;
  if (host::RegistryValueFails(valueName)) return false;
  std::memcpy(value, v->data.data(), 4);
  return true;
}

std::optional<std::u16string> RegistryKey::QueryString(const char16_t* valueName) const {
  const host::RegistryValue* v = FindValue(handle_, valueName);
  if (v == nullptr || !v->isString) return std::nullopt;
  std::u16string text(v->data.size() / 2, u'\0');
  std::memcpy(text.data(), v->data.data(), text.size() * 2);
  while (!text.empty() && text.back() == u'\0') text.pop_back();
  return text;
}

// ---- Spooler ----

std::optional<PrinterInfo> GetPrinterInfo(PrinterHandle printer) {
  const host::Printer* p = PrinterOf(printer);
  if (p == nullptr) return std::nullopt;
  return InfoOf(*p);
}

std::optional<std::vector<PrinterInfo>> EnumLocalPrinters() {
  const host::World& w = host::TheWorld();
  if (w.enumPrintersFails) return std::nullopt;
  std::vector<PrinterInfo> list;
  for (const host::Printer& p : w.printers) list.push_back(InfoOf(p));
  return list;
}

std::optional<std::vector<FormInfo>> EnumForms(PrinterHandle printer) {
  if (PrinterOf(printer) == nullptr) return std::nullopt;
  return host::TheWorld().forms;
}

bool AddForm(PrinterHandle printer, const FormInfo& form) {
  host::World& w = host::TheWorld();
  bool ok = PrinterOf(printer) != nullptr;
  for (const FormInfo& f : w.forms) {
    if (SameFormName(f.name, form.name)) ok = false;  // ERROR_FILE_EXISTS
  }
  if (ok) w.forms.push_back(form);
  w.formCalls.push_back({host::FormCall::Kind::kAdd, form.name, form, ok});
  return ok;
}

bool SetForm(PrinterHandle printer, const std::u16string& name, const FormInfo& form) {
  host::World& w = host::TheWorld();
  bool ok = false;
  if (PrinterOf(printer) != nullptr) {
    for (FormInfo& f : w.forms) {
      if (SameFormName(f.name, name)) {
        const std::u16string kept = f.name;
        f = form;
        f.name = kept;
        ok = true;
        break;
      }
    }
  }
  w.formCalls.push_back({host::FormCall::Kind::kSet, name, form, ok});
  return ok;
}

std::optional<std::vector<JobInfo>> EnumJobs(PrinterHandle printer, std::uint32_t firstJob,
                                             std::uint32_t count) {
  const host::Printer* p = PrinterOf(printer);
  if (p == nullptr) return std::nullopt;
  std::vector<JobInfo> jobs;
  for (std::size_t i = firstJob; i < p->jobs.size() && jobs.size() < count; ++i) {
    jobs.push_back(p->jobs[i]);
  }
  return jobs;
}

// ---- User messages ----

bool SendConsoleMessage(const std::u16string& title, const std::u16string& text) {
  host::World& w = host::TheWorld();
  if (w.consoleMessagesUnavailable) return false;
  w.messages.push_back({title, text});
  return true;
}

// ---- String resources and the heap ----

int LoadStringW(ModuleHandle module, std::uint32_t id, char16_t* buffer, int capacity) {
  // As on Windows, a buffer with room for no character is left as it is.
  if (buffer == nullptr || capacity < 2) return 0;
  const host::World& w = host::TheWorld();
  const auto& table = module == ThisModule() ? w.pluginStrings : w.resourceModuleStrings;
  auto it = table.find(id);
  if (module == nullptr || it == table.end()) {
    buffer[0] = u'\0';
    return 0;
  }
  // Like LoadStringW: truncated to capacity - 1 characters and terminated.
  const int n = static_cast<int>(std::min<std::size_t>(it->second.size(), capacity - 1));
  std::memcpy(buffer, it->second.data(), n * sizeof(char16_t));
  buffer[n] = u'\0';
  return n;
}

void* ProcessHeapAlloc(std::size_t bytes) {
  if (host::TheWorld().heapFails || host::AllocationFails()) return nullptr;
  return std::calloc(1, bytes == 0 ? 1 : bytes);
}

void* ProcessHeapReAlloc(void* block, std::size_t bytes) {
  if (host::TheWorld().heapFails || host::AllocationFails()) return nullptr;
  // Only ever used to shrink: the kept bytes stay, nothing new needs zeroing.
  return std::realloc(block, bytes == 0 ? 1 : bytes);
}

void ProcessHeapFree(void* block) { std::free(block); }

// ---- Page memory and process ----

void* LocalAllocZero(std::size_t bytes) {
  int& budget = host::TheWorld().localAllocFailAfter;
  if (budget == 0 || host::AllocationFails()) return nullptr;
  if (budget > 0) --budget;
  return std::calloc(1, bytes == 0 ? 1 : bytes);
}

void LocalFree(void* block) { std::free(block); }

void* CrtAlloc(std::size_t bytes) {
  if (host::AllocationFails()) return nullptr;
  return std::malloc(bytes == 0 ? 1 : bytes);
}

void CrtFree(void* block) { std::free(block); }

std::uint32_t CurrentProcessId() { return static_cast<std::uint32_t>(::getpid()); }

}  // namespace os
