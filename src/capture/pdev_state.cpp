#include "capture/pdev_state.h"

#include "platform/os.h"

namespace capture {

// The EndDoc hook frees the page buffer of a finished document; whatever an
// aborted document left behind goes with the record.
PdevState::~PdevState() {
  os::LocalFree(pageBuffer);
  os::LocalFree(palette);
}

}  // namespace capture
