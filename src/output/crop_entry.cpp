// Crop print entries of the page writer.
#include "output/page_writer.h"

namespace output {

// Until the crop search is in, a crop print page prints whole through the
// ordinary writer, so that the job is not lost.
void WriteImage_CropPrint(winabi::DEVOBJ* pdevobj, winabi::DEVMODEW* savedPublic,
                          frame::PrivateDevmode* savedRecord, bool endOfJob) {
  WriteImage_PageOut_Spooler(pdevobj, savedPublic, savedRecord, endOfJob);
}

void WriteImage(const LabelSurface&, void*, void*, winabi::DEVOBJ*, bool) {}

}  // namespace output
