// The printer models the plug-in knows by name. The model name of the private
// devmode is compared as a whole string; rows 1 to 6 are the LT (desktop)
// family, rows 7 to 10 the MP (mobile) family.
#pragma once

#include <cstddef>

namespace frame {

enum class ModelFamily { kUnlisted, kLT, kMP };

inline constexpr std::size_t kModelRows = 10;

// The name of a row, 1 to 10; null for any other row.
const char16_t* ModelName(int row);

// The row (1 to 10) of a NUL-terminated model name, or 0 for an unlisted model.
// At most maxChars characters are read.
int ModelRow(const char16_t* name, std::size_t maxChars);

ModelFamily FamilyOfRow(int row);

}  // namespace frame
