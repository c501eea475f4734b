// The model table: every row's exact name and family, and the names that
// are no row.
#include "frame/model_table.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using frame::ModelFamily;

TEST(ModelTable, EveryRowByItsWholeName) {
  const struct {
    int row;
    const char16_t* name;
    ModelFamily family;
  } rows[] = {
      {1, u"Norvale LT-210 (203 dpi)", ModelFamily::kLT},
      {2, u"Norvale LT-310 (300 dpi)", ModelFamily::kLT},
      {3, u"Norvale LT-230 (203 dpi)", ModelFamily::kLT},
      {4, u"Norvale LT-330 (300 dpi)", ModelFamily::kLT},
      {5, u"Norvale LT-231 (203 dpi)", ModelFamily::kLT},
      {6, u"Norvale LT-331 (300 dpi)", ModelFamily::kLT},
      {7, u"Norvale MP-520 (203 dpi)", ModelFamily::kMP},
      {8, u"Norvale MP-540 (203 dpi)", ModelFamily::kMP},
      {9, u"Norvale MP-720 (203 dpi)", ModelFamily::kMP},
      {10, u"Norvale MP-740 (203 dpi)", ModelFamily::kMP},
  };
  for (const auto& r : rows) {
    const std::u16string name = r.name;
    EXPECT_EQ(frame::ModelRow(r.name, 260), r.row) << r.row;
    ASSERT_NE(frame::ModelName(r.row), nullptr) << r.row;
    EXPECT_EQ(std::u16string(frame::ModelName(r.row)), name) << r.row;
    EXPECT_EQ(frame::FamilyOfRow(r.row), r.family) << r.row;
    // The terminator is part of the name, and must lie within the field.
    EXPECT_EQ(frame::ModelRow(r.name, name.size() + 1), r.row) << r.row;
    EXPECT_EQ(frame::ModelRow(r.name, name.size()), 0) << r.row;
    EXPECT_EQ(frame::ModelRow((name + u" ").c_str(), 260), 0) << r.row;
    EXPECT_EQ(frame::ModelRow(name.substr(0, name.size() - 1).c_str(), 260), 0) << r.row;
  }
  for (int row : {-1, 0, 11}) {
    EXPECT_EQ(frame::ModelName(row), nullptr) << row;
    EXPECT_EQ(frame::FamilyOfRow(row), ModelFamily::kUnlisted) << row;
  }
  EXPECT_EQ(frame::ModelRow(u"", 260), 0);
  EXPECT_EQ(frame::ModelRow(nullptr, 260), 0);
}

}  // namespace
