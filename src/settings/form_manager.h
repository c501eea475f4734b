// Spooler forms: sizes by name, and the forms kept in step with the media
// definitions of every printer of the driver.
#pragma once

#include <cstdint>
#include <optional>
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
// position + 1. Sizes in thousandths of a millimetre. A form whose margins do
// not fit 32 bits counts as not found.
bool GetFormSize(os::PrinterHandle printer, const char16_t* formName, int* formIndex,
                 FormMargins* margins, winabi::SIZEL* size);

// The built-in names count as absent without asking the spooler.
bool FormExists(os::PrinterHandle printer, const std::u16string& formName);

// Millimetres to thousandths: the single-precision product, truncated;
// nothing when the product is not a number or does not fit 32 bits.
std::optional<std::int32_t> ThousandthsOf(float mm);

// The spooler form a media definition becomes; nothing when a size or an
// edge of the imageable area does not fit 32 bits (such a definition is
// skipped like an unreadable one).
std::optional<os::FormInfo> FormFromMedia(const std::u16string& formName,
                                          const MediaSettings& media);

// Adds the form unless it exists, then always sets it; a definition that
// makes no form is left alone.
void AddOrUpdateForm(os::PrinterHandle printer, const std::u16string& formName,
                     const MediaSettings& media);

// Names of the local printers whose driver name equals driverName exactly.
bool ListPrintersOfDriver(const std::u16string& driverName, NameList* list);

// End of a job: every media definition of every printer of this printer's
// driver becomes a spooler form, through this printer's handle.
void SyncFormsFromRegistry(os::PrinterHandle printer);

}  // namespace settings
