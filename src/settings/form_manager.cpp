// Spooler forms built from media definitions.
#include "settings/form_manager.h"

#include "settings/media_store.h"

namespace settings {

namespace {
constexpr std::uint32_t kFormUser = 0;

// Millimetres to thousandths: a single-precision product, truncated.
std::int32_t Thousandths(float mm) { return static_cast<std::int32_t>(mm * 1000.0f); }
}  // namespace

bool GetFormSize(os::PrinterHandle printer, const char16_t* formName, int* formIndex,
                 FormMargins* margins, winabi::SIZEL* size) {
  if (formName == nullptr || margins == nullptr) return false;
  std::optional<std::vector<os::FormInfo>> forms = os::EnumForms(printer);
  if (!forms || forms->empty()) return false;
  const std::u16string wanted(formName);
  for (std::size_t i = 0; i < forms->size(); ++i) {
    const os::FormInfo& form = (*forms)[i];
    if (!SameFormName(form.name, wanted)) continue;
    if (formIndex != nullptr) *formIndex = static_cast<int>(i + 1);
    if (size != nullptr) *size = form.size;
    margins->left = form.imageableArea.left;
    margins->top = form.imageableArea.top;
    margins->right = form.size.cx - form.imageableArea.right;
    margins->bottom = form.size.cy - form.imageableArea.bottom;
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

os::FormInfo FormFromMedia(const std::u16string& formName, const MediaSettings& media) {
  // Continuous media whose length follows the image keep their top and bottom
  // margins inside the form; other media print to the form's length.
  const bool continuous = media.numLabelMediaType == 3;
  os::FormInfo form;
  form.flags = kFormUser;
  form.name = formName;
  form.size.cx = Thousandths(media.mmLabelWidth);
  form.size.cy = Thousandths(media.mmLabelLength);
  form.imageableArea.left = Thousandths(media.mmLeftMargin);
  form.imageableArea.top = continuous ? Thousandths(media.mmTopMargin) : 0;
  form.imageableArea.right = form.size.cx - Thousandths(media.mmRightMargin);
  form.imageableArea.bottom = form.size.cy - (continuous ? Thousandths(media.mmBottomMargin) : 0);
  return form;
}

void AddOrUpdateForm(os::PrinterHandle printer, const std::u16string& formName,
                     const MediaSettings& media) {
  const os::FormInfo form = FormFromMedia(formName, media);
  // The spooler's answers are not needed: a refused add of an existing form
  // is followed by the set that updates it.
  if (!FormExists(printer, formName)) os::AddForm(printer, form);
  os::SetForm(printer, formName, form);
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
