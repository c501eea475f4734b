// The page writer: form lookup, width check, job stream copy, the pixel
// pipeline, the commands, and the saved print file at the end of the job.
#include "output/page_writer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "capture/pdev_state.h"
#include "diag/files.h"
#include "diag/print_jobs.h"
#include "diag/trace.h"
#include "diag/user_message.h"
#include "output/label_image.h"
#include "output/page_counters.h"
#include "output/page_pipeline.h"
#include "platform/os.h"
#include "settings/form_manager.h"
#include "settings/media_store.h"

namespace output {

namespace {

constexpr char kUnsupportedMediaTrace[] = "Select a media size supported by your printer.";
// Saved print files of one second get numbers; past this many tries the copy
// is failing for another reason than an existing name, and is given up.
constexpr int kMaxNumberedNames = 10000;

std::u16string Ascii(const char* text) { return std::u16string(text, text + std::strlen(text)); }

// Step 2: the label size of the job's form, into the record's media settings.
bool ResolveLabelSize(winabi::DEVOBJ* pdevobj, const winabi::DEVMODEW& saved,
                      frame::PrivateDevmode* record) {
  settings::MediaSettings& media = record->mediaSettings;
  char16_t formName[33] = {};
  std::memcpy(formName, saved.dmFormName, sizeof saved.dmFormName);
  if (formName[0] == u'\0') {
    settings::FindMediaByPaperWidth(pdevobj->hPrinter, saved.dmPaperWidth, &media);
    media.mmLabelWidth = saved.dmPaperWidth / 10.0f;
    media.mmLabelLength = saved.dmPaperLength / 10.0f;
  } else {
    const std::u16string model = frame::FieldText(record->modelName, frame::kPathChars);
    std::u16string formsKey;
    settings::FindFormsKeyPath(model, formName, &formsKey);
    if (!settings::ReadMediaSettings(formsKey, record->modelName, formName, &media)) {
      return false;
    }
  }
  TakeFormSize(pdevobj->hPrinter, formName, &media);
  return true;
}

std::u16string PrinterName(winabi::DEVOBJ* pdevobj) {
  std::u16string name;
  settings::GetPrinterName(pdevobj->hPrinter, &name);
  return name;
}

std::u16string StreamCopyPath(const std::u16string& folder, const std::u16string& printer) {
  return folder + os::kWidePathSeparator + printer + u".temp";
}

// Step 4: the job stream copy, new on the first page, appended to later.
std::optional<os::File> OpenStreamCopy(winabi::DEVOBJ* pdevobj, const frame::PrivateDevmode& record,
                                       bool firstPage) {
  if (record.printFileSwitch == 0) return std::nullopt;
  if (firstPage) ThePageCounters().streamCopyBroken = false;
  if (ThePageCounters().streamCopyBroken) return std::nullopt;
  const std::u16string folder = frame::FieldText(record.printFileFolder, frame::kPathChars);
  if (!diag::IsExistingDirectory(folder) || !diag::EnsureDirectory(folder)) return std::nullopt;
  std::optional<os::File> copy =
      os::File::Open(StreamCopyPath(folder, PrinterName(pdevobj)),
                     firstPage ? os::File::Mode::kCreateAlways : os::File::Mode::kAppend);
  // A page missing from the copy leaves a gap just as a short write does.
  (copy ? ThePageCounters().streamCopyPending : ThePageCounters().streamCopyBroken) = true;
  return copy;
}

std::u16string TimeStampedName(const std::u16string& folder, const std::u16string& document,
                               const os::LocalTime& t, std::optional<int> number) {
  char stamp[64];
  if (number) {
    std::snprintf(stamp, sizeof stamp, "_%04d%02d%02d%02d%02d%02d_%d.prn", t.year, t.month, t.day,
                  t.hour, t.minute, t.second, *number);
  } else {
    std::snprintf(stamp, sizeof stamp, "_%04d%02d%02d%02d%02d%02d.prn", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
  }
  return folder + os::kWidePathSeparator + document + Ascii(stamp);
}

}  // namespace

void ShowUnsupportedMedia(const frame::PrivateDevmode& record) {
  diag::Trace(kUnsupportedMediaTrace);
  diag::ResourceString text(diag::LoadResourceString(diag::kMsgSelectSupportedMedia));
  diag::ShowUserMessage(record.modelName, text.get());
}

void TakeFormSize(os::PrinterHandle printer, const char16_t* formName,
                  settings::MediaSettings* media) {
  int index = 0;
  settings::FormMargins margins;
  winabi::SIZEL size{};
  if (!settings::GetFormSize(printer, formName, &index, &margins, &size)) return;
  media->mmLabelWidth = size.cx / 1000.0f;
  media->mmLabelLength = size.cy / 1000.0f;
  media->mmLeftMargin = margins.left / 1000.0f;
  media->mmTopMargin = margins.top / 1000.0f;
  media->mmRightMargin = margins.right / 1000.0f;
  media->mmBottomMargin = margins.bottom / 1000.0f;
}

bool IsWiderThanMedia(const frame::PrivateDevmode& record) {
  return (static_cast<double>(record.mediaSettings.mmLabelWidth) - 0.1) -
             static_cast<double>(record.maximumMediaWidth) >=
         0.000001;
}

// Step 20: the job stream copy becomes the saved print file.
void SavePrintFile(winabi::DEVOBJ* pdevobj, const frame::PrivateDevmode& record, int firstNumber) {
  const std::u16string folder = frame::FieldText(record.printFileFolder, frame::kPathChars);
  if (record.printFileSwitch == 0 || !diag::IsExistingDirectory(folder)) return;
  char16_t documentBuffer[diag::kDocumentNameChars + 1] = {};
  diag::GetJobDocumentName(pdevobj->hPrinter, documentBuffer);
  const std::u16string document(documentBuffer);
  const std::u16string copy = StreamCopyPath(folder, PrinterName(pdevobj));
  ThePageCounters().streamCopyPending = false;
  if (ThePageCounters().streamCopyBroken) {
    os::DeleteFile(copy);
    return;
  }
  if (record.fixedPrintFileNameSwitch != 0) {
    os::CopyFile(copy, folder + os::kWidePathSeparator + document + u".prn", false);
  } else {
    const os::LocalTime now = os::GetLocalTime();
    bool copied = os::CopyFile(copy, TimeStampedName(folder, document, now, std::nullopt), true);
    for (int n = firstNumber; !copied && n < firstNumber + kMaxNumberedNames; ++n) {
      copied = os::CopyFile(copy, TimeStampedName(folder, document, now, n), true);
    }
  }
  os::DeleteFile(copy);
}

void FinishPrintFile(winabi::DEVOBJ* pdevobj, const frame::PrivateDevmode& record) {
  if (pdevobj != nullptr && ThePageCounters().streamCopyPending) SavePrintFile(pdevobj, record, 1);
}

void WriteImage_PageOut_Spooler(winabi::DEVOBJ* pdevobj, winabi::DEVMODEW* savedPublic,
                                frame::PrivateDevmode* savedRecord, bool endOfJob) {
  if (pdevobj == nullptr || savedPublic == nullptr || savedRecord == nullptr ||
      pdevobj->pdevOEM == nullptr || pdevobj->pPublicDM == nullptr) {
    return;
  }
  const bool firstPage = ++ThePageCounters().jobPage == 1;
  if (!ResolveLabelSize(pdevobj, *savedPublic, savedRecord)) {
    if (firstPage) ShowUnsupportedMedia(*savedRecord);
    return;
  }
  if (IsWiderThanMedia(*savedRecord)) {
    ShowUnsupportedMedia(*savedRecord);
    return;
  }
  std::optional<os::File> copy = OpenStreamCopy(pdevobj, *savedRecord, firstPage);

  auto* state = static_cast<capture::PdevState*>(pdevobj->pdevOEM);
  PageJob job;
  job.pdevobj = pdevobj;
  job.copy = copy ? &*copy : nullptr;
  job.record = savedRecord;
  job.media = &savedRecord->mediaSettings;
  job.maximumPrintWidth = savedRecord->maximumPrintWidth;
  job.orientation = pdevobj->pPublicDM->dmOrientation;
  job.copies = savedPublic->dmCopies;
  job.collate = savedPublic->dmCollate;
  job.endOfJob = endOfJob;
  job.firstPage = firstPage;
  job.cropPath = false;
  WritePageFromState(state, &job);
  if (copy) copy->Close();

  if (endOfJob) SavePrintFile(pdevobj, *savedRecord, 1);
}

void WriteImage(const LabelSurface& label, void* workingCopy, void* /*outputContext*/,
                winabi::DEVOBJ* pdevobj, bool endOfJob) {
  if (pdevobj == nullptr || workingCopy == nullptr || pdevobj->pdevOEM == nullptr ||
      pdevobj->pPublicDM == nullptr || pdevobj->pOEMDM == nullptr) {
    return;
  }
  auto* working = static_cast<CropWorkingCopy*>(workingCopy);
  auto* live = static_cast<frame::PrivateDevmode*>(pdevobj->pOEMDM);
  const winabi::DEVMODEW& livePublic = *pdevobj->pPublicDM;
  const bool firstPage = ++ThePageCounters().cropPage == 1;
  std::optional<os::File> copy = OpenStreamCopy(pdevobj, *live, firstPage);

  // A held label read back from its file may be short or name a size its
  // bytes do not hold: it is not written.
  const std::uint32_t stride = GreyStride(label.width);
  const std::uint64_t needed = static_cast<std::uint64_t>(stride) * label.height;
  if (label.pixels != nullptr && label.width != 0 && label.height != 0 &&
      label.width <= kMaxLabelSide && label.height <= kMaxLabelSide && needed <= label.byteCount) {
    // The steps change the grey rows in place; the caller's surface is kept.
    PageVector<std::uint8_t> grey;
    bool haveMemory = true;
    try {
      grey.assign(label.pixels, label.pixels + needed);
    } catch (const std::bad_alloc&) {
      haveMemory = false;
    }
    if (haveMemory) {
      auto* state = static_cast<capture::PdevState*>(pdevobj->pdevOEM);
      state->infoHeader.biWidth = static_cast<winabi::LONG>(label.width);
      state->infoHeader.biHeight = static_cast<winabi::LONG>(label.height);
      state->infoHeader.biBitCount = 8;
      PageJob job;
      job.pdevobj = pdevobj;
      job.copy = copy ? &*copy : nullptr;
      job.record = live;
      job.media = &working->record.mediaSettings;
      job.maximumPrintWidth = working->record.maximumPrintWidth;
      job.orientation = livePublic.dmOrientation;
      job.copies = livePublic.dmCopies;
      job.collate = livePublic.dmCollate;
      job.endOfJob = endOfJob;
      job.firstPage = firstPage;
      job.cropPath = true;
      const bool blank = IsBlankOnArrival(label.pixels, label.byteCount);
      WriteGreyPage(state, GreyInput{grey.data(), label.width, label.height, stride}, blank, &job);
    }
  }
  if (copy) copy->Close();
  if (endOfJob) SavePrintFile(pdevobj, *live, 0);
}

}  // namespace output
