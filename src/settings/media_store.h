// Media definitions of a printer, read from its driver data in the registry,
// and the defaults of the four built-in forms.
#pragma once

#include <cstdint>
#include <string>

#include "platform/os.h"
#include "settings/media_settings.h"
#include "settings/name_list.h"

namespace settings {

// "SYSTEM\CurrentControlSet\Control\Print\Printers\<printer>\PrinterDriverData\Forms"
std::u16string PrinterFormsKeyPath(const std::u16string& printerName);

// Driver name and, when the spooler gives one, server name of a printer.
// Either out may be null, not both.
bool GetPrinterDriverAndServer(os::PrinterHandle printer, std::u16string* driverName,
                               std::u16string* serverName);
bool GetPrinterName(os::PrinterHandle printer, std::u16string* name);

// Appends the name of every media definition under the printer's forms key.
void ListPrinterForms(const std::u16string& printerName, NameList* list);

// The forms key of the first local printer (in registry order) that uses the
// driver and has a definition of the form; path is untouched when none has.
bool FindFormsKeyPath(const std::u16string& driverName, const std::u16string& formName,
                      std::u16string* path);

bool IsBuiltInForm(const std::u16string& formName);
// Fills the record for one of the four built-in forms; other names: nothing.
void BuiltInMediaDefaults(const char16_t* modelName, const std::u16string& formName,
                          MediaSettings* record);

// Reads one media definition (all 13 values, or nothing). Built-in forms get
// their defaults without a registry read.
bool ReadMediaSettings(const std::u16string& formsKeyPath, const char16_t* modelName,
                       const std::u16string& formName, MediaSettings* record);

// The continuous-media (type 3) definition of the printer whose label width
// is nearest the paper width (0.1 mm); ties keep the earlier definition.
bool FindMediaByPaperWidth(os::PrinterHandle printer, std::int16_t paperWidth,
                           MediaSettings* record);

}  // namespace settings
