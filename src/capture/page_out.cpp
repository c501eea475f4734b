// Page-out and the temporary files of one saved page.
#include "capture/page_out.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "capture/job_state.h"
#include "capture/page_spool.h"
#include "capture/pdev_state.h"
#include "crop/crop_controller.h"
#include "diag/files.h"
#include "frame/model_table.h"
#include "frame/private_devmode.h"
#include "output/page_counters.h"
#include "output/page_writer.h"
#include "platform/os.h"

namespace capture {

namespace {

constexpr char16_t kTempPrefix[] = u"driver_";

frame::PrivateDevmode* RecordOf(winabi::DEVOBJ* pdevobj) {
  return pdevobj != nullptr ? static_cast<frame::PrivateDevmode*>(pdevobj->pOEMDM) : nullptr;
}

void SetPath(char16_t (&field)[frame::kPathChars], const std::u16string& path) {
  std::memset(field, 0, sizeof field);
  std::copy_n(path.begin(), std::min(path.size(), frame::kPathChars - 1), field);
}

// Public media types that carry a post-print choice.
constexpr winabi::DWORD kMediaTear = 258;
constexpr winabi::DWORD kMediaCutEveryLabel = 260;
constexpr winabi::DWORD kMediaCutEnd = 257;

void ApplyPublicMediaType(winabi::DWORD mediaType, frame::PrivateDevmode* record) {
  const frame::ModelFamily family =
      frame::FamilyOfRow(frame::ModelRow(record->modelName, frame::kPathChars));
  if (family == frame::ModelFamily::kMP) return;
  const std::uint8_t cutAction = family == frame::ModelFamily::kLT ? 4 : 5;
  if (mediaType == kMediaTear) {
    record->postPrintAction = 1;
  } else if (mediaType == kMediaCutEveryLabel) {
    record->postPrintAction = cutAction;
    record->cutMode = 2;
  } else if (mediaType == kMediaCutEnd) {
    record->postPrintAction = cutAction;
    record->cutMode = 0;
  }
}

diag::FileBytes ReadFile(const std::u16string& path, std::int64_t* size) {
  std::optional<os::File> file = os::File::Open(path, os::File::Mode::kRead);
  if (!file) return nullptr;
  return diag::ReadWholeFile(std::move(*file), size);
}

}  // namespace

void PageOut(winabi::DEVOBJ* pdevobj, bool endOfJob) {
  if (RecordOf(pdevobj) == nullptr) return;
  JobState& job = TheJobState();
  bool earlierJob = false;
  if (!endOfJob && job.newJobFlag == 1) {
    job.newJobFlag = 0;
    earlierJob = job.jobCount != 0;
    ++job.jobCount;
    // Crop print starts every job afresh: its label counter and the crop
    // outcome a devmode may carry over from an earlier job.
    output::ThePageCounters().cropPage = 0;
    RecordOf(pdevobj)->cropResult = 0;
    RecordOf(pdevobj)->cropPageCount = 0;
  }
  if (endOfJob) {
    WriteImage_PageOut_Spooler_FromTmp(pdevobj, true);
    crop::FinishHeldLabel(pdevobj);  // when the last page could not be read back
    output::FinishPrintFile(pdevobj, *RecordOf(pdevobj));
    return;
  }
  WriteImage_PageOut_Spooler_FromTmp(pdevobj, earlierJob);
  SavePageToSpool(pdevobj);
  if (earlierJob) output::ThePageCounters().jobPage = 0;
}

void SavePageToSpool(winabi::DEVOBJ* pdevobj) {
  frame::PrivateDevmode* record = RecordOf(pdevobj);
  if (record == nullptr || pdevobj->pdevOEM == nullptr || pdevobj->pPublicDM == nullptr) return;
  auto* state = static_cast<PdevState*>(pdevobj->pdevOEM);
  ApplyPublicMediaType(pdevobj->pPublicDM->dmMediaType, record);
  // An earlier page that could not be read back is replaced with its image.
  DiscardSavedPage(pdevobj);

  // The page image: both headers, then the page's rows. Write failures are
  // not reported, but a page that is not saved whole is not saved at all:
  // its files would only be printed cut short or be left behind.
  const std::u16string temp = os::GetTempPath();
  bool imageWhole = false;
  if (std::optional<std::u16string> imagePath = os::GetTempFileName(temp, kTempPrefix)) {
    SetPath(record->pageImagePath, *imagePath);
    if (std::optional<os::File> file = os::File::Open(*imagePath, os::File::Mode::kCreateAlways)) {
      const winabi::BITMAPINFOHEADER& info = state->infoHeader;
      imageWhole = file->Write(&state->fileHeader, sizeof state->fileHeader) ==
                       sizeof state->fileHeader &&
                   file->Write(&info, sizeof info) == sizeof info;
      const std::uint32_t rows = std::min(info.biSizeImage, state->pageBufferSize);
      if (imageWhole && state->pageBuffer != nullptr && rows != 0) {
        const std::uint8_t* from = state->pageStartPending != 0
                                       ? state->pageBuffer
                                       : state->pageBuffer + (state->pageBufferSize - rows);
        imageWhole = file->Write(from, rows) == rows;
      }
    }
    if (!imageWhole) os::DeleteFile(*imagePath);  // the name was taken by creating it
  }

  const std::u16string spoolPath = PageSpoolRecordPath(state->spoolId);
  if (!imageWhole) {
    os::DeleteFile(spoolPath);  // no record names a page that is not there
    return;
  }
  std::uint8_t packed[kPageSpoolRecordSize];
  PackPageSpoolRecord(*record, *pdevobj->pPublicDM, packed);
  if (std::optional<os::File> file = os::File::Open(spoolPath, os::File::Mode::kCreateAlways)) {
    const bool recordWhole = file->Write(packed, sizeof packed) == sizeof packed;
    file->Close();
    if (recordWhole) return;
  }
  os::DeleteFile(spoolPath);
  os::DeleteFile(frame::FieldText(record->pageImagePath, frame::kPathChars));
}

void WriteImage_PageOut_Spooler_FromTmp(winabi::DEVOBJ* pdevobj, bool lastPage) {
  frame::PrivateDevmode* live = RecordOf(pdevobj);
  if (live == nullptr || pdevobj->pdevOEM == nullptr) return;
  auto* state = static_cast<PdevState*>(pdevobj->pdevOEM);
  const std::u16string spoolPath = PageSpoolRecordPath(state->spoolId);

  std::int64_t spoolSize = 0;
  diag::FileBytes spool = ReadFile(spoolPath, &spoolSize);
  if (!spool || spoolSize != static_cast<std::int64_t>(kPageSpoolRecordSize)) return;

  // Copies of the devmodes as they were when the page was saved.
  auto savedRecord = std::make_unique<frame::PrivateDevmode>();
  std::memset(savedRecord.get(), 0, sizeof *savedRecord);
  frame::WriteDevmodeHeader(savedRecord.get());
  winabi::DEVMODEW savedPublic{};
  if (pdevobj->pPublicDM != nullptr) savedPublic = *pdevobj->pPublicDM;
  UnpackPageSpoolRecord(spool.get(), savedRecord.get(), &savedPublic);

  const std::u16string imagePath = frame::FieldText(savedRecord->pageImagePath, frame::kPathChars);
  std::int64_t imageSize = 0;
  diag::FileBytes image = ReadFile(imagePath, &imageSize);
  if (!image || imageSize < static_cast<std::int64_t>(kBmpHeadersSize)) return;

  // Install the saved page in the PdevState for the writer, then restore.
  const BmpFileHeader keptFileHeader = state->fileHeader;
  const winabi::BITMAPINFOHEADER keptInfoHeader = state->infoHeader;
  std::uint8_t* const keptBuffer = state->pageBuffer;
  const std::uint32_t keptBufferSize = state->pageBufferSize;
  std::memcpy(&state->fileHeader, image.get(), sizeof state->fileHeader);
  std::memcpy(&state->infoHeader, image.get() + sizeof state->fileHeader, sizeof state->infoHeader);
  state->pageBuffer = image.get() + kBmpHeadersSize;
  state->pageBufferSize = static_cast<std::uint32_t>(imageSize - kBmpHeadersSize);
  // A short or damaged image file must not make the writer read past it.
  state->infoHeader.biSizeImage = std::min(state->infoHeader.biSizeImage, state->pageBufferSize);

  if (savedRecord->cropPrintSwitch == 1) {
    crop::WriteImage_CropPrint(pdevobj, &savedPublic, savedRecord.get(), lastPage);
    live->cropResult = savedRecord->cropResult;
    live->cropPageCount = savedRecord->cropPageCount;
  } else {
    output::WriteImage_PageOut_Spooler(pdevobj, &savedPublic, savedRecord.get(), lastPage);
  }
  // The last size command travels with the job: the next page is saved from
  // the live record after this one has been written.
  std::memcpy(live->lastSizeCommand, savedRecord->lastSizeCommand, sizeof live->lastSizeCommand);

  state->fileHeader = keptFileHeader;
  state->infoHeader = keptInfoHeader;
  state->pageBuffer = keptBuffer;
  state->pageBufferSize = keptBufferSize;
  image.reset();
  spool.reset();
  os::DeleteFile(spoolPath);
  os::DeleteFile(imagePath);
}

void DiscardSavedPage(winabi::DEVOBJ* pdevobj) {
  if (pdevobj == nullptr || pdevobj->pdevOEM == nullptr) return;
  auto* state = static_cast<PdevState*>(pdevobj->pdevOEM);
  const std::u16string spoolPath = PageSpoolRecordPath(state->spoolId);
  std::int64_t size = 0;
  diag::FileBytes spool = ReadFile(spoolPath, &size);
  if (spool && size == static_cast<std::int64_t>(kPageSpoolRecordSize)) {
    auto record = std::make_unique<frame::PrivateDevmode>();
    winabi::DEVMODEW unusedPublic{};
    UnpackPageSpoolRecord(spool.get(), record.get(), &unusedPublic);
    os::DeleteFile(frame::FieldText(record->pageImagePath, frame::kPathChars));
  }
  spool.reset();
  os::DeleteFile(spoolPath);
}

void SaveHeldLabel(const HeldLabel& label, winabi::DEVOBJ* pdevobj) {
  frame::PrivateDevmode* record = RecordOf(pdevobj);
  if (record == nullptr) return;
  std::optional<std::u16string> path = os::GetTempFileName(os::GetTempPath(), kTempPrefix);
  if (!path) return;
  SetPath(record->heldLabelPath, *path);
  std::optional<os::File> file = os::File::Open(*path, os::File::Mode::kCreateAlways);
  const bool whole = file && file->Write(&label.width, sizeof label.width) == sizeof label.width &&
                     file->Write(&label.height, sizeof label.height) == sizeof label.height &&
                     file->Write(label.pixels, label.byteCount) == label.byteCount;
  if (file) file->Close();
  if (whole) return;
  // A label not held whole is not held: nothing of it is printed or left.
  os::DeleteFile(*path);
  std::memset(record->heldLabelPath, 0, sizeof record->heldLabelPath);
}

void WriteHeldLabel(void* workingCopy, void* outputContext, winabi::DEVOBJ* pdevobj,
                    bool endOfJob) {
  frame::PrivateDevmode* record = RecordOf(pdevobj);
  if (record == nullptr) return;
  const std::u16string path = frame::FieldText(record->heldLabelPath, frame::kPathChars);
  std::int64_t size = 0;
  diag::FileBytes bytes = path.empty() ? nullptr : ReadFile(path, &size);
  if (bytes && size >= 8) {
    output::LabelSurface label;
    std::memcpy(&label.width, bytes.get(), 4);
    std::memcpy(&label.height, bytes.get() + 4, 4);
    label.pixels = bytes.get() + 8;
    label.byteCount = static_cast<std::uint32_t>(std::min<std::int64_t>(size - 8, UINT32_MAX));
    output::WriteImage(label, workingCopy, outputContext, pdevobj, endOfJob);
  }
  // A held label file too short to name its size is dropped like a used one,
  // so that no file of the job stays behind.
  bytes.reset();
  if (!path.empty()) os::DeleteFile(path);
  std::memset(record->heldLabelPath, 0, sizeof record->heldLabelPath);
}

}  // namespace capture
