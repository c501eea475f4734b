#include "capture/pdev_state.h"

namespace capture {

// The page buffer is freed by the EndDoc hook and the palette with the page;
// deleting the record releases nothing else.
PdevState::~PdevState() = default;

}  // namespace capture
