// The two universal-driver engine entries the plug-in hooks.
#pragma once

#include "platform/abi.h"

namespace capture {

// Marks the start of a page, then calls the driver's own DrvStartPage.
winabi::BOOL StartPageHook(winabi::SURFOBJ* pso);
// Finishes the document, then calls the driver's own DrvEndDoc.
winabi::BOOL EndDocHook(winabi::SURFOBJ* pso, winabi::ULONG fl);

}  // namespace capture
