// Spooler forms: sizes by name, and the forms kept in step with the media
// definitions of every printer of the driver.
#pragma once

#include <cstdint>
#include <string>

#include "platform/os.h"
#include "settings/media_settings.h"
#include "settings/name_list.h"

namespace settings {

// Margins of a form in thousandths of a millimetre.
struct FormMargins {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
};

// Finds the form (case-insensitive) in the spooler's list; formIndex is its
// position + 1. Sizes in thousandths of a millimetre.
bool GetFormSize(os::PrinterHandle printer, const char16_t* formName, int* formIndex,
                 FormMargins* margins, winabi::SIZEL* size);

// The built-in names count as absent without asking the spooler.
bool FormExists(os::PrinterHandle printer, const std::u16string& formName);

// The spooler form a media definition becomes.
os::FormInfo FormFromMedia(const std::u16string& formName, const MediaSettings& media);

// Adds the form unless it exists, then always sets it.
void AddOrUpdateForm(os::PrinterHandle printer, const std::u16string& formName,
                     const MediaSettings& media);

// Names of the local printers whose driver name equals driverName exactly.
bool ListPrintersOfDriver(const std::u16string& driverName, NameList* list);

// End of a job: every media definition of every printer of this printer's
// driver becomes a spooler form, through this printer's handle.
void SyncFormsFromRegistry(os::PrinterHandle printer);

}  // namespace settings
