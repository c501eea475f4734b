#include "frame/model_table.h"

namespace frame {

namespace {
constexpr const char16_t* kModelNames[kModelRows] = {
    u"Norvale LT-210 (203 dpi)", u"Norvale LT-310 (300 dpi)", u"Norvale LT-230 (203 dpi)",
    u"Norvale LT-330 (300 dpi)", u"Norvale LT-231 (203 dpi)", u"Norvale LT-331 (300 dpi)",
    u"Norvale MP-520 (203 dpi)", u"Norvale MP-540 (203 dpi)", u"Norvale MP-720 (203 dpi)",
    u"Norvale MP-740 (203 dpi)",
};
constexpr int kFirstMpRow = 7;

// Whole-string equality, terminator included, reading at most maxChars of name.
bool SameName(const char16_t* name, std::size_t maxChars, const char16_t* row) {
  std::size_t i = 0;
  for (; i < maxChars; ++i) {
    if (name[i] != row[i]) return false;
    if (name[i] == u'\0') return true;
  }
  return false;  // no terminator within the field
}
}  // namespace

const char16_t* ModelName(int row) {
  return row >= 1 && row <= static_cast<int>(kModelRows) ? kModelNames[row - 1] : nullptr;
}

int ModelRow(const char16_t* name, std::size_t maxChars) {
  if (name == nullptr) return 0;
  for (int row = 1; row <= static_cast<int>(kModelRows); ++row) {
    if (SameName(name, maxChars, kModelNames[row - 1])) return row;
  }
  return 0;
}

ModelFamily FamilyOfRow(int row) {
  if (row < 1 || row > static_cast<int>(kModelRows)) return ModelFamily::kUnlisted;
  return row < kFirstMpRow ? ModelFamily::kLT : ModelFamily::kMP;
}

}  // namespace frame
