// The in-process world behind the host platform: what the "operating system"
// holds (registry, printers, spooler forms, jobs, string tables, temporary
// folder) and what the plug-in did to it (libraries loaded, forms added and
// set, messages shown). Tests and tools build it and read it back.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/abi.h"
#include "platform/os.h"

namespace host {

// One registry key: its values (name, raw bytes, is-string) and its subkeys in
// creation order.
struct RegistryValue {
  std::u16string name;
  std::vector<std::uint8_t> data;
  bool isString = false;
};
struct RegistryKeyData {
  std::vector<RegistryValue> values;
  std::vector<std::u16string> subkeys;
};

struct Printer {
  std::u16string name;
  std::u16string driverName;
  std::optional<std::u16string> serverName;
  std::uint32_t status = 0;
  std::vector<os::JobInfo> jobs;
};

struct FormCall {
  enum class Kind { kAdd, kSet } kind;
  std::u16string name;  // SetFormW's name argument, or the form's own for AddFormW
  os::FormInfo form;
  bool succeeded;
};

struct Message {
  std::u16string title;
  std::u16string text;
};

struct World {
  World();

  // ---- Modules ----
  std::string driverDirectory = "/spool/drivers/x64";  // empty: the spooler fails
  std::vector<std::string> loadableLibraries;          // full paths LoadLibraryA loads
  std::vector<std::string> loadedLibraries;
  int freedLibraries = 0;
  // String tables of the plug-in itself and of a loaded resource module; both
  // start as the shipped English table.
  std::map<std::uint32_t, std::u16string> pluginStrings;
  std::map<std::uint32_t, std::u16string> resourceModuleStrings;
  bool heapFails = false;  // ProcessHeapAlloc returns null
  // LocalAllocZero fails once this many more allocations have succeeded
  // (negative: never).
  int localAllocFailAfter = -1;

  // ---- GDI ----
  int palettesCreated = 0;
  bool paletteCreationFails = false;
  std::vector<winabi::PALETTEENTRY> paletteEntries;  // what GetPaletteEntries reads
  bool surfaceCreationFails = false;                 // EngCreateBitmap returns null
  bool surfaceLockFails = false;                     // EngLockSurface returns null
  int surfacesCreated = 0;
  int surfacesLive = 0;    // created and not yet deleted
  int surfacesLocked = 0;  // locked and not yet unlocked
  int gdiplusStartups = 0;
  int gdiplusShutdowns = 0;
  std::uintptr_t lastGdiplusToken = 0;
  std::uintptr_t lastShutdownToken = 0;

  // ---- Registry (HKEY_LOCAL_MACHINE), keyed by upper-case path ----
  std::map<std::u16string, RegistryKeyData> registry;

  // ---- Spooler ----
  std::vector<Printer> printers;
  bool enumPrintersFails = false;
  std::vector<os::FormInfo> forms;  // starts as the standard Windows list
  std::vector<FormCall> formCalls;  // AddFormW and SetFormW, in call order

  // ---- User messages ----
  bool consoleMessagesUnavailable = false;  // Wtsapi32 missing
  std::vector<Message> messages;

  // ---- Files and time ----
  std::string tempDirectory;  // empty: the system's temporary folder
  std::optional<os::LocalTime> fixedTime;
};

// The one world of the process; ResetWorld() gives a fresh one.
World& TheWorld();
void ResetWorld();

// Handle values the host hands out for the plug-in module itself and for the
// palettes it creates.
void* HostModuleHandle();
void* HostPaletteHandle();

// ---- Building the world ----
// Creates the key and every missing key above it (paths use '\\').
void AddRegistryKey(const std::u16string& path);
void SetRegistryDword(const std::u16string& keyPath, const std::u16string& name,
                      std::uint32_t value);
void SetRegistryBytes(const std::u16string& keyPath, const std::u16string& name,
                      const std::vector<std::uint8_t>& bytes);
void RemoveRegistryValue(const std::u16string& keyPath, const std::u16string& name);
void SetRegistryString(const std::u16string& keyPath, const std::u16string& name,
                       const std::u16string& value);

// Adds a local printer and returns its handle.
os::PrinterHandle AddPrinter(const Printer& printer);
os::PrinterHandle PrinterHandleOf(const std::u16string& name);

// The forms key of a printer and one media definition under it with the 13
// registry values (a value left out of `values` is not written).
std::u16string FormsKeyPath(const std::u16string& printerName);
void AddMediaDefinition(const std::u16string& printerName, const std::u16string& formName,
                        const std::map<std::u16string, std::uint32_t>& values);

// The standard form list of a Windows print server, Letter first, A4 ninth.
std::vector<os::FormInfo> StandardForms();

// UTF-16 to UTF-8 and back, for host file paths and for printing.
std::string ToUtf8(const std::u16string& text);
std::u16string FromUtf8(const std::string& text);

}  // namespace host
