// Crop print of one saved page: media settings, the width check, one of the
// four variants, the outcome kept for the later pages of the job, and the
// user's messages.
#pragma once

#include <cstdint>
#include <string>

#include "frame/private_devmode.h"
#include "platform/abi.h"

namespace crop {

// Used in place of the ordinary page writer when the job's crop print switch
// is 1. The page is the one the PdevState holds; savedPublic and savedRecord
// are the devmodes saved with it (the crop result and count are written to
// savedRecord).
void WriteImage_CropPrint(winabi::DEVOBJ* pdevobj, winabi::DEVMODEW* savedPublic,
                          frame::PrivateDevmode* savedRecord, bool endOfJob);

// At the end of a job whose last page never reached WriteImage_CropPrint (its
// spool files could not be read back): a label still held from an earlier
// page is printed with the job's media, or dropped when they cannot be read,
// so that its file does not outlive the job.
void FinishHeldLabel(winabi::DEVOBJ* pdevobj);

// A message text joined from resource pieces, then formatted with the page
// number twice; bounded like the 260-character buffers it is built in.
// Missing pieces count as empty.
std::u16string FormatPageMessage(const std::u16string& format, uint32_t page);

}  // namespace crop
