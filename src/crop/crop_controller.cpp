// WriteImage_CropPrint: the crop print page-out.
#include "crop/crop_controller.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "capture/page_out.h"
#include "capture/pdev_state.h"
#include "crop/crop_variants.h"
#include "diag/trace.h"
#include "diag/user_message.h"
#include "output/page_counters.h"
#include "output/page_writer.h"
#include "platform/os.h"
#include "settings/media_store.h"

namespace crop {

namespace {

constexpr size_t kMessageChars = 260;
constexpr char kFunction[] = "WriteImage_CropPrint";
constexpr uint8_t kMediaPerLabelLow = 2, kMediaPerLabelHigh = 3;

// The output context lives on the process heap like the message texts.
struct HeapFree {
  void operator()(void* block) const { os::ProcessHeapFree(block); }
};
using OutputContext = std::unique_ptr<void, HeapFree>;

OutputContext NewOutputContext(const frame::PrivateDevmode& record) {
  OutputContext context(os::ProcessHeapAlloc(kOutputContextSize));
  if (context) {
    std::memcpy(static_cast<uint8_t*>(context.get()) + kOutputContextNameOffset, record.modelName,
                kOutputContextNameChars * sizeof(char16_t));
  }
  return context;
}

// Joins resource strings, bounded like the buffer they are joined in.
std::u16string JoinPieces(std::initializer_list<uint32_t> ids) {
  std::u16string joined;
  for (uint32_t id : ids) {
    diag::ResourceString piece(diag::LoadResourceString(id));
    if (piece) joined += piece.get();
  }
  if (joined.size() > kMessageChars - 1) joined.resize(kMessageChars - 1);
  return joined;
}

void ShowPageMessage(const frame::PrivateDevmode& record, std::initializer_list<uint32_t> ids,
                     uint32_t page) {
  const std::u16string text = FormatPageMessage(JoinPieces(ids), page);
  if (!text.empty()) diag::ShowUserMessage(record.modelName, text.c_str());
}

void Report(CropResult result, bool endOfJob, const frame::PrivateDevmode& record, uint32_t page) {
  switch (result) {
    case CROP_NO_BARCODE:
      if (endOfJob && record.cropPageCount == 0) {
        diag::ResourceString text(diag::LoadResourceString(diag::kMsgNoBarcodes));
        diag::ShowUserMessage(record.modelName, text.get());
      } else {
        diag::Trace("[%s]No barcodes were detected. PageCount=%d", kFunction, record.cropPageCount);
      }
      break;
    case CROP_ANTIALIASED_BARCODE:
      ShowPageMessage(
          record,
          {diag::kMsgCannotCropBarcode, diag::kMsgNoFurtherPages, diag::kMsgInstallWiderMedia},
          page);
      diag::Trace(
          "[%s]Cannot crop and print the barcode on page %d. No further pages will be printed. "
          "Install a wider type of media, and then try to print again from page %d.",
          kFunction, page, page);
      break;
    case CROP_IMAGE_SIZE_ERROR:
      ShowPageMessage(record, {diag::kMsgCheckImageSize, diag::kMsgJobCancelledFromPage}, page);
      diag::Trace(
          "[%s]Cannot crop print. Check the size of the image on page %d. Page %d and later of "
          "print job was cancelled.",
          kFunction, page, page);
      break;
    case CROP_BARCODE_WIDER_THAN_MEDIA:
      ShowPageMessage(record,
                      {diag::kMsgBarcodeLargerThanPaper, diag::kMsgJobCancelledFromPage,
                       diag::kMsgAdjustBarcodeOrPaper},
                      page);
      diag::Trace(
          "[%s]A barcode larger than the paper size was detected on page %d. Page %d and later "
          "of print job was cancelled.Adjust the barcode size and/or paper size.",
          kFunction, page, page);
      break;
    default:
      break;
  }
}

// Steps 2 and 3: the media of the job's form, the spooler's form winning.
bool ReadJobMedia(winabi::DEVOBJ* pdevobj, frame::PrivateDevmode* record) {
  const std::u16string model = frame::FieldText(record->modelName, frame::kPathChars);
  const std::u16string form = frame::FieldText(record->formName, frame::kPathChars);
  std::u16string formsKey;
  settings::FindFormsKeyPath(model, form, &formsKey);
  if (!settings::ReadMediaSettings(formsKey, record->modelName, form, &record->mediaSettings)) {
    return false;
  }
  if (pdevobj->hPrinter != nullptr) {
    output::TakeFormSize(pdevobj->hPrinter, record->formName, &record->mediaSettings);
  }
  return true;
}

bool StopsTheJob(uint8_t result) {
  return result == CROP_BARCODE_WIDER_THAN_MEDIA || result == CROP_IMAGE_SIZE_ERROR ||
         result == CROP_ANTIALIASED_BARCODE;
}

// Step 5: the page as the search reads it, or nothing for a page that is not
// 8-bit or whose rows its buffer does not hold.
bool DescribePage(capture::PdevState* state, CropPage* page) {
  winabi::BITMAPINFOHEADER& info = state->infoHeader;
  if (info.biHeight < 0) info.biHeight = -info.biHeight;
  if (state->pageBuffer == nullptr || info.biWidth <= 0 || info.biBitCount != 8) return false;
  const uint64_t stride =
      (uint64_t{info.biBitCount} * static_cast<uint32_t>(info.biWidth) + 31) / 32 * 4;
  if (stride * static_cast<uint32_t>(info.biHeight) > state->pageBufferSize) return false;
  page->pixels = state->pageBuffer;
  page->width = static_cast<uint32_t>(info.biWidth);
  page->height = static_cast<uint32_t>(info.biHeight);
  page->stride = static_cast<uint32_t>(stride);
  return true;
}

CropResult RunVariant(const CropPage& page, const CropJob& job) {
  const frame::PrivateDevmode& record = job.working->record;
  if (record.mediaSettings.mediaName[0] == u'\0') return CROP_NO_MEDIA_NAME;
  const uint8_t type = record.mediaSettings.numLabelMediaType;
  const bool perLabel = type == kMediaPerLabelLow || type == kMediaPerLabelHigh;
  if (record.extendedCropSwitch != 0) {
    return perLabel ? ExtendedCropPerLabel(page, job) : ExtendedCropFixedSize(page, job);
  }
  return perLabel ? BasicCropPerLabel(page, job) : BasicCropFixedSize(page, job);
}

}  // namespace

std::u16string FormatPageMessage(const std::u16string& format, uint32_t page) {
  const std::string number = std::to_string(page);
  std::u16string text;
  for (size_t i = 0; i < format.size() && text.size() < kMessageChars - 1; ++i) {
    if (format[i] == u'%' && i + 1 < format.size() && format[i + 1] == u'd') {
      text.append(number.begin(), number.end());
      ++i;
    } else if (format[i] == u'%' && i + 1 < format.size() && format[i + 1] == u'%') {
      text += u'%';
      ++i;
    } else {
      text += format[i];
    }
  }
  if (text.size() > kMessageChars - 1) text.resize(kMessageChars - 1);
  return text;
}

void WriteImage_CropPrint(winabi::DEVOBJ* pdevobj, winabi::DEVMODEW* savedPublic,
                          frame::PrivateDevmode* savedRecord, bool endOfJob) {
  if (pdevobj == nullptr || savedPublic == nullptr || savedRecord == nullptr ||
      pdevobj->pdevOEM == nullptr) {
    return;
  }
  diag::Trace("[%s]", kFunction, "\tStart");
  const uint32_t page = ++output::ThePageCounters().jobPage;
  frame::PrivateDevmode& record = *savedRecord;

  // Steps 2 to 4: the media of the job's form, and the form against the printer.
  if (!ReadJobMedia(pdevobj, &record)) {
    if (page == 1) output::ShowUnsupportedMedia(record);
    return;
  }
  if (output::IsWiderThanMedia(record)) {
    output::ShowUnsupportedMedia(record);
    return;
  }

  // Steps 5 and 6: the page, the working copy and the output context.
  CropPage cropPage;
  const bool pageReadable =
      DescribePage(static_cast<capture::PdevState*>(pdevobj->pdevOEM), &cropPage);
  output::CropWorkingCopy copy{*savedPublic, record};
  output::CropWorkingCopy* working = &copy;
  OutputContext context = NewOutputContext(record);
  if (!context) {
    // Out of memory: the page is dropped like one without media settings,
    // but labels already cropped still print at the end of the job.
    if (endOfJob) capture::WriteHeldLabel(working, nullptr, pdevobj, true);
    return;
  }

  // Step 7: an earlier page stopped the job.
  if (StopsTheJob(record.cropResult)) {
    diag::Trace("[%s]crop print is skip, code=%d", kFunction, record.cropResult);
    if (endOfJob) capture::WriteHeldLabel(working, context.get(), pdevobj, true);
    return;
  }

  // Steps 8 to 11.
  const CropJob job{working, context.get(), pdevobj};
  const CropResult result = pageReadable ? RunVariant(cropPage, job) : CROP_NO_BARCODE;
  record.cropResult = result;
  record.cropPageCount = working->record.cropPageCount;
  if (endOfJob) capture::WriteHeldLabel(working, context.get(), pdevobj, true);
  context.reset();
  Report(result, endOfJob, record, page);
}

void FinishHeldLabel(winabi::DEVOBJ* pdevobj) {
  auto* live = pdevobj != nullptr ? static_cast<frame::PrivateDevmode*>(pdevobj->pOEMDM) : nullptr;
  if (live == nullptr || pdevobj->pPublicDM == nullptr || live->heldLabelPath[0] == u'\0') return;
  output::CropWorkingCopy copy{*pdevobj->pPublicDM, *live};
  // Without a working copy the writer prints nothing; the file goes all the same.
  const bool media = ReadJobMedia(pdevobj, &copy.record);
  capture::WriteHeldLabel(media ? &copy : nullptr, nullptr, pdevobj, true);
}

}  // namespace crop
