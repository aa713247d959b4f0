#include <gtest/gtest.h>

#include "ui/AreaArrangement.h"

namespace pixolan::ui {
namespace {

TEST(AreaArrangementTest, HiddenAreasPutTheirRestoreButtonsSideBySide) {
  struct TCase {
    std::array<bool, kAreaCount> Shown;
    bool Left, Right, InputSplitter, ColumnSplitter;
    std::array<int, kAreaCount> RestoreLeft;  // -1: button hidden
    int Separators;
  };
  const TCase cases[] = {
      {{true, true, true, true}, true, true, true, true, {-1, -1, -1, -1}, 0},
      {{false, false, false, false}, false, false, false, false, {8, 70, 132, 194}, 4},
      // Input and preview hidden: the left column and the column splitter go.
      {{false, false, true, true}, false, true, false, false, {8, 70, -1, -1}, 2},
      {{true, false, true, false}, true, true, false, true, {-1, 8, -1, 70}, 2},
      {{true, true, false, true}, true, true, true, true, {-1, -1, 8, -1}, 1},
      {{false, true, false, false}, true, false, false, false, {8, -1, 70, 132}, 3},
  };
  for (const TCase& c : cases) {
    const TAreaArrangement a = ArrangeAreas(c.Shown);
    EXPECT_EQ(a.LeftColumn, c.Left);
    EXPECT_EQ(a.RightColumn, c.Right);
    EXPECT_EQ(a.InputSplitter, c.InputSplitter);
    EXPECT_EQ(a.ColumnSplitter, c.ColumnSplitter);
    for (int area = 0; area < kAreaCount; ++area) {
      EXPECT_EQ(a.AreaShown[area], c.Shown[area]);
      EXPECT_EQ(a.RestoreShown[area], c.RestoreLeft[area] >= 0) << area;
      if (c.RestoreLeft[area] >= 0) {
        EXPECT_EQ(a.RestoreLeft[area], c.RestoreLeft[area]) << area;
      }
      EXPECT_EQ(a.SeparatorShown[area], area < c.Separators) << area;
    }
  }
}

TEST(AreaArrangementTest, ShadesWrapPerChannelLikeByteArithmetic) {
  // Light gray button face: darker pen at rest, wrapped (that is 150 darker) when active.
  EXPECT_EQ(CloseGlyphPen(0xF0F0F0, false), 0x969696u);
  EXPECT_EQ(CloseGlyphPen(0xF0F0F0, true), 0x5A5A5Au);
  EXPECT_EQ(HeaderStripColor(0xF0F0F0), 0xBEBEBEu);
  // A dark channel wraps around instead of stopping at zero.
  EXPECT_EQ(HeaderStripColor(0x100020), 0xDECEEEu);
}

}  // namespace
}  // namespace pixolan::ui
