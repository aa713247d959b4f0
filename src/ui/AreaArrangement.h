// Which parts of the main window show for the four areas' check marks, and where the
// restore buttons of the hidden areas stand in the bottom bar. No widgets: the window
// applies it.
#pragma once

#include <array>

namespace pixolan::ui {

enum class TArea { Input = 0, Preview = 1, Actions = 2, SaveOptions = 3 };
inline constexpr int kAreaCount = 4;

struct TAreaArrangement {
  bool LeftColumn = true, RightColumn = true;
  bool InputSplitter = true;   // between input and preview
  bool ColumnSplitter = true;  // between the columns
  std::array<bool, kAreaCount> AreaShown{true, true, true, true};
  // Restore buttons by area: shown for hidden areas, side by side in area order.
  std::array<bool, kAreaCount> RestoreShown{};
  std::array<int, kAreaCount> RestoreLeft{};
  // Separators after the restore buttons: the k-th shows when at least k areas are hidden.
  std::array<bool, kAreaCount> SeparatorShown{};
};

// Left edges of the restore buttons and separators in the bottom bar, 62 apart.
inline constexpr int kRestoreButtonLeft = 8;
inline constexpr int kRestoreButtonStep = 62;

TAreaArrangement ArrangeAreas(const std::array<bool, kAreaCount>& shown);

// The pen of an area's close glyph as 0xRRGGBB from the button-face color: darker while the
// pointer is away, a shifted shade while it is over the glyph (byte arithmetic, wrapping).
unsigned CloseGlyphPen(unsigned buttonFace, bool active);
// The header strip's background: button face minus 50 per channel, wrapping.
unsigned HeaderStripColor(unsigned buttonFace);

}  // namespace pixolan::ui
