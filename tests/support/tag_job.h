// A host job on a 40 x 10 mm die-cut label form ("Tag", 79 lines at 203 dpi)
// with its media definition, its first page started.
#pragma once

#include "settings/form_manager.h"
#include "support/host_job.h"
#include "support/host_media.h"

namespace testing_support {

inline void StartTagJob(HostJob& job, std::uint8_t mediaType = 0) {
  MediaValues values;
  values.width = 400;
  values.length = 100;
  values.type = mediaType;
  AddMedia(u"Desk", u"Tag", values);
  settings::MediaSettings m{};
  m.mmLabelWidth = 40.0f;
  m.mmLabelLength = 10.0f;
  settings::AddOrUpdateForm(host::PrinterHandleOf(u"Desk"), u"Tag", m);
  job.SetForm(u"Tag");
  job.record.horizontalScale = job.record.verticalScale = 1000;
  job.Enable();
  job.StartPage();
}

}  // namespace testing_support
