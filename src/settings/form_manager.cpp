// Spooler forms built from media definitions.
#include "settings/form_manager.h"

#include <climits>

#include "settings/media_store.h"

namespace settings {

namespace {
constexpr std::uint32_t kFormUser = 0;

// Registry and spooler values are untrusted: sums of them are made wide and
// refused when they leave the 32-bit range.
std::optional<std::int32_t> Narrow(std::int64_t value) {
  if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
  return static_cast<std::int32_t>(value);
}
}  // namespace

std::optional<std::int32_t> ThousandthsOf(float mm) {
  const float product = mm * 1000.0f;
  // 2^31 is exact in single precision; NaN fails both comparisons.
  if (!(product >= -2147483648.0f && product < 2147483648.0f)) return std::nullopt;
  return static_cast<std::int32_t>(product);
}

bool GetFormSize(os::PrinterHandle printer, const char16_t* formName, int* formIndex,
                 FormMargins* margins, winabi::SIZEL* size) {
  if (formName == nullptr || margins == nullptr) return false;
  std::optional<std::vector<os::FormInfo>> forms = os::EnumForms(printer);
  if (!forms || forms->empty()) return false;
  const std::u16string wanted(formName);
  for (std::size_t i = 0; i < forms->size(); ++i) {
    const os::FormInfo& form = (*forms)[i];
    if (!SameFormName(form.name, wanted)) continue;
    const std::optional<std::int32_t> right =
        Narrow(std::int64_t{form.size.cx} - form.imageableArea.right);
    const std::optional<std::int32_t> bottom =
        Narrow(std::int64_t{form.size.cy} - form.imageableArea.bottom);
    if (!right || !bottom) return false;
    if (formIndex != nullptr) *formIndex = static_cast<int>(i + 1);
    if (size != nullptr) *size = form.size;
    margins->left = form.imageableArea.left;
    margins->top = form.imageableArea.top;
    margins->right = *right;
    margins->bottom = *bottom;
    return true;
  }
  return false;
}

bool FormExists(os::PrinterHandle printer, const std::u16string& formName) {
  if (IsBuiltInForm(formName)) return false;
  std::optional<std::vector<os::FormInfo>> forms = os::EnumForms(printer);
  if (!forms) return false;
  for (const os::FormInfo& form : *forms) {
    if (SameFormName(form.name, formName)) return true;
  }
  return false;
}

std::optional<os::FormInfo> FormFromMedia(const std::u16string& formName,
                                          const MediaSettings& media) {
  // Continuous media whose length follows the image keep their top and bottom
  // margins inside the form; other media print to the form's length.
  const bool continuous = media.numLabelMediaType == 3;
  const std::optional<std::int32_t> width = ThousandthsOf(media.mmLabelWidth);
  const std::optional<std::int32_t> length = ThousandthsOf(media.mmLabelLength);
  const std::optional<std::int32_t> left = ThousandthsOf(media.mmLeftMargin);
  const std::optional<std::int32_t> top = continuous ? ThousandthsOf(media.mmTopMargin) : 0;
  const std::optional<std::int32_t> rightMargin = ThousandthsOf(media.mmRightMargin);
  const std::optional<std::int32_t> bottomMargin =
      continuous ? ThousandthsOf(media.mmBottomMargin) : 0;
  if (!width || !length || !left || !top || !rightMargin || !bottomMargin) return std::nullopt;
  const std::optional<std::int32_t> right = Narrow(std::int64_t{*width} - *rightMargin);
  const std::optional<std::int32_t> bottom = Narrow(std::int64_t{*length} - *bottomMargin);
  if (!right || !bottom) return std::nullopt;
  os::FormInfo form;
  form.flags = kFormUser;
  form.name = formName;
  form.size = {*width, *length};
  form.imageableArea = {*left, *top, *right, *bottom};
  return form;
}

void AddOrUpdateForm(os::PrinterHandle printer, const std::u16string& formName,
                     const MediaSettings& media) {
  const std::optional<os::FormInfo> form = FormFromMedia(formName, media);
  if (!form) return;
  // The spooler's answers are not needed: a refused add of an existing form
  // is followed by the set that updates it.
  if (!FormExists(printer, formName)) os::AddForm(printer, *form);
  os::SetForm(printer, formName, *form);
}

bool ListPrintersOfDriver(const std::u16string& driverName, NameList* list) {
  if (list == nullptr) return false;
  std::optional<std::vector<os::PrinterInfo>> printers = os::EnumLocalPrinters();
  if (!printers) return false;
  for (const os::PrinterInfo& p : *printers) {
    if (p.driverName == driverName) list->push_back(CutName(p.printerName));
  }
  return true;
}

void SyncFormsFromRegistry(os::PrinterHandle printer) {
  std::u16string driverName;
  GetPrinterDriverAndServer(printer, &driverName, nullptr);
  NameList printers;
  if (!ListPrintersOfDriver(driverName, &printers)) {
    FreeNameList(&printers);
    return;
  }
  for (const std::u16string& printerName : printers) {
    const std::u16string formsKeyPath = PrinterFormsKeyPath(printerName);
    std::optional<os::RegistryKey> formsKey = os::RegistryKey::OpenLocalMachine(formsKeyPath);
    if (!formsKey) continue;
    std::u16string formName;
    for (unsigned index = 0; index < kMaxEnumerated && formsKey->EnumSubkey(index, &formName);
         ++index) {
      MediaSettings media{};
      if (ReadMediaSettings(formsKeyPath, driverName.c_str(), formName, &media)) {
        AddOrUpdateForm(printer, formName, media);
      }
    }
  }
  FreeNameList(&printers);
}

}  // namespace settings
