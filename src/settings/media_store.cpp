// Media definitions: one registry key per form under the printer's driver
// data, 13 DWORD values each, lengths in tenths of a millimetre.
#include "settings/media_store.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "frame/model_table.h"

namespace settings {

namespace {

constexpr char16_t kPrintersKey[] = u"SYSTEM\\CurrentControlSet\\Control\\Print\\Printers";
constexpr std::size_t kMaxPathChars = 259;

constexpr const char16_t* kValueNames[13] = {
    u"numLabelMediaType",     u"numLabelMediaMethod", u"mmLabelWidth", u"mmLabelLength",
    u"mmRightMargin",         u"mmLeftMargin",        u"mmTopMargin",  u"mmBottomMargin",
    u"numMediaSensorSetting", u"mmGapHeight",         u"mmGapOffset",  u"mmMarkHeight",
    u"mmMarkOffset",
};

constexpr const char16_t* kBuiltInForms[4] = {u"2X4", u"4X4", u"4X6", u"6X8"};

float Tenths(std::uint32_t raw) {
  return static_cast<float>(static_cast<std::int32_t>(raw)) / 10.0f;
}

void SetName(MediaSettings* record, const std::u16string& name) {
  std::memset(record->mediaName, 0, sizeof record->mediaName);
  const std::size_t n = std::min(name.size(), kNameChars - 1);
  std::memcpy(record->mediaName, name.data(), n * sizeof(char16_t));
}

}  // namespace

std::u16string PrinterFormsKeyPath(const std::u16string& printerName) {
  return std::u16string(kPrintersKey) + u'\\' + printerName + u"\\PrinterDriverData\\Forms";
}

bool GetPrinterDriverAndServer(os::PrinterHandle printer, std::u16string* driverName,
                               std::u16string* serverName) {
  if (driverName == nullptr && serverName == nullptr) return false;
  std::optional<os::PrinterInfo> info = os::GetPrinterInfo(printer);
  if (!info) return false;
  if (driverName != nullptr) *driverName = CutName(info->driverName);
  if (serverName != nullptr && info->serverName) *serverName = CutName(*info->serverName);
  return true;
}

bool GetPrinterName(os::PrinterHandle printer, std::u16string* name) {
  if (name == nullptr) return false;
  std::optional<os::PrinterInfo> info = os::GetPrinterInfo(printer);
  if (!info) return false;
  *name = CutName(info->printerName);
  return true;
}

void ListPrinterForms(const std::u16string& printerName, NameList* list) {
  if (list == nullptr) return;
  std::optional<os::RegistryKey> key =
      os::RegistryKey::OpenLocalMachine(PrinterFormsKeyPath(printerName));
  if (!key) return;
  std::u16string name;
  for (unsigned index = 0; index < kMaxEnumerated && key->EnumSubkey(index, &name); ++index) {
    list->push_back(CutName(name));
  }
}

bool FindFormsKeyPath(const std::u16string& driverName, const std::u16string& formName,
                      std::u16string* path) {
  std::optional<os::RegistryKey> printersKey = os::RegistryKey::OpenLocalMachine(kPrintersKey);
  if (!printersKey || path == nullptr) return false;
  std::u16string subkey;
  for (unsigned index = 0; index < kMaxEnumerated && printersKey->EnumSubkey(index, &subkey);
       ++index) {
    std::optional<std::vector<os::PrinterInfo>> printers = os::EnumLocalPrinters();
    if (!printers) continue;
    const bool usesDriver =
        std::any_of(printers->begin(), printers->end(), [&](const os::PrinterInfo& p) {
          return p.printerName == subkey && p.driverName == driverName;
        });
    if (!usesDriver) continue;
    const std::u16string formsKey = PrinterFormsKeyPath(subkey);
    if (os::RegistryKey::OpenLocalMachine(formsKey + u'\\' + formName)) {
      *path = formsKey.substr(0, kMaxPathChars);
      return true;
    }
  }
  return false;
}

bool IsBuiltInForm(const std::u16string& formName) {
  return std::any_of(std::begin(kBuiltInForms), std::end(kBuiltInForms),
                     [&](const char16_t* name) { return formName == name; });
}

void BuiltInMediaDefaults(const char16_t* modelName, const std::u16string& formName,
                          MediaSettings* record) {
  struct Size {
    const char16_t* name;
    float width;
    float length;
  };
  constexpr Size kSizes[] = {{u"2X4", 50.8f, 101.6f},
                             {u"4X6", 101.6f, 152.4f},
                             {u"6X8", 152.4f, 203.2f},
                             {u"4X4", 101.6f, 101.6f}};
  if (record == nullptr) return;
  const Size* size = nullptr;
  for (const Size& s : kSizes) {
    if (formName == s.name) size = &s;
  }
  if (size == nullptr) return;
  // The first two mobile models cannot print to the label edges.
  const int row = frame::ModelRow(modelName, kNameChars);
  const float sideMargin = (row == 7 || row == 8) ? 1.4f : 0.0f;
  SetName(record, formName);
  record->numLabelMediaType = 0;
  record->numLabelMediaMethod = 0;
  record->mmLabelWidth = size->width;
  record->mmLabelLength = size->length;
  record->mmRightMargin = sideMargin;
  record->mmLeftMargin = sideMargin;
  record->mmTopMargin = 0.0f;
  record->mmBottomMargin = 0.0f;
  record->numMediaSensorSetting = 0;
  record->mmGapHeight = 3.0f;
  record->mmGapOffset = 0.0f;
  record->mmMarkHeight = 3.0f;
  record->mmMarkOffset = 0.0f;
}

bool ReadMediaSettings(const std::u16string& formsKeyPath, const char16_t* modelName,
                       const std::u16string& formName, MediaSettings* record) {
  if (record == nullptr) return false;
  if (IsBuiltInForm(formName)) {
    BuiltInMediaDefaults(modelName, formName, record);
    return true;
  }
  const std::u16string keyPath = formsKeyPath + u'\\' + formName;
  if (keyPath.size() > kMaxPathChars) return false;  // would not fit the key buffer
  std::uint32_t raw[13] = {};
  for (int i = 0; i < 13; ++i) {
    std::optional<os::RegistryKey> key = os::RegistryKey::OpenLocalMachine(keyPath);
    if (!key || !key->QueryDword(kValueNames[i], &raw[i])) return false;
  }
  SetName(record, formName);
  record->numLabelMediaType = static_cast<std::uint8_t>(raw[0]);
  record->numLabelMediaMethod = static_cast<std::uint8_t>(raw[1]);
  record->mmLabelWidth = Tenths(raw[2]);
  record->mmLabelLength = Tenths(raw[3]);
  record->mmRightMargin = Tenths(raw[4]);
  record->mmLeftMargin = Tenths(raw[5]);
  record->mmTopMargin = Tenths(raw[6]);
  record->mmBottomMargin = Tenths(raw[7]);
  record->numMediaSensorSetting = raw[8];
  record->mmGapHeight = Tenths(raw[9]);
  record->mmGapOffset = Tenths(raw[10]);
  record->mmMarkHeight = Tenths(raw[11]);
  record->mmMarkOffset = Tenths(raw[12]);
  return true;
}

bool FindMediaByPaperWidth(os::PrinterHandle printer, std::int16_t paperWidth,
                           MediaSettings* record) {
  if (printer == nullptr || record == nullptr) return false;
  std::u16string driverName;
  std::u16string printerName;
  GetPrinterDriverAndServer(printer, &driverName, nullptr);
  GetPrinterName(printer, &printerName);
  NameList forms;
  ListPrinterForms(printerName, &forms);

  // The definitions are read from this printer's own forms key: the list came
  // from there, and another printer of the driver may define the same name
  // differently.
  const std::u16string formsKey = PrinterFormsKeyPath(printerName);
  int best = 65535;
  bool allRead = true;
  for (const std::u16string& form : forms) {
    MediaSettings candidate{};
    const bool read = ReadMediaSettings(formsKey, driverName.c_str(), form, &candidate);
    allRead = allRead && read;
    if (!read || candidate.numLabelMediaType != 3) continue;
    const auto width =
        static_cast<std::int16_t>(static_cast<std::int32_t>(candidate.mmLabelWidth * 10.0f));
    const int difference = std::abs(static_cast<int>(width) - static_cast<int>(paperWidth));
    if (difference < best) {
      best = difference;
      *record = candidate;
    }
  }
  FreeNameList(&forms);
  return best != 65535 && allRead;
}

}  // namespace settings
