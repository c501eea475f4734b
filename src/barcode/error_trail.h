// The process-wide record of the last five failure codes, and the readers'
// last error value.
#pragma once

#include <cstdint>

#include "barcode/types.h"

namespace barcode {

constexpr int32_t kCategoryMemory = 10000000;
constexpr int32_t kCategoryNotFound = 40000000;
constexpr int32_t kCategoryBadArgument = 50000000;
constexpr int32_t kCategoryStepFailed = 60000000;
constexpr int32_t kCategoryStageFailed = 61000000;
constexpr int32_t kModuleScan = 902000;

ErrorTrail& GetErrorTrail();
void ClearErrorTrail();
// Appends a when b and c are both 0, else -(a + b + c).
void PushErrorTrail(int32_t a, int32_t b, int32_t c);

int32_t& ReaderLastError();

}  // namespace barcode
