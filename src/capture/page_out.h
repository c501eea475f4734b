// Page-out: a finished page is printed one page late, through two temporary
// files (the page image and the page spool record), so that the page writer
// knows which page ends the job.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/abi.h"

namespace capture {

// Prints the page saved before and saves the page now in the PdevState
// (endOfJob false), or prints the saved page as the job's last (true).
void PageOut(winabi::DEVOBJ* pdevobj, bool endOfJob);

// Writes the page image file and the page spool record of the current page.
void SavePageToSpool(winabi::DEVOBJ* pdevobj);

// Prints the saved page, if there is one, and deletes its two files.
void WriteImage_PageOut_Spooler_FromTmp(winabi::DEVOBJ* pdevobj, bool lastPage);

// Deletes the saved page of a PDEV whose document never ended.
void DiscardSavedPage(winabi::DEVOBJ* pdevobj);

// A label kept for crop print until the next one arrives or the job ends:
// the surface's rows, written to the held label file as they are.
struct HeldLabel {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  const std::uint8_t* pixels = nullptr;
  std::size_t byteCount = 0;
};

void SaveHeldLabel(const HeldLabel& label, winabi::DEVOBJ* pdevobj);
// Prints the held label through the crop page writer and deletes its file;
// the held label path is cleared in every case.
void WriteHeldLabel(void* workingCopy, void* outputContext, winabi::DEVOBJ* pdevobj, bool endOfJob);

}  // namespace capture
