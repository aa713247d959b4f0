#include "ui/AreaArrangement.h"

namespace pixolan::ui {

namespace {

unsigned AddPerChannel(unsigned rgb, int delta) {
  unsigned result = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    const unsigned channel = (rgb >> shift) & 0xFFu;
    result |= (static_cast<unsigned>(static_cast<int>(channel) + delta) & 0xFFu) << shift;
  }
  return result;
}

}  // namespace

TAreaArrangement ArrangeAreas(const std::array<bool, kAreaCount>& shown) {
  TAreaArrangement a;
  const bool input = shown[0], preview = shown[1], actions = shown[2], save = shown[3];
  a.LeftColumn = input || preview;
  a.RightColumn = actions || save;
  a.InputSplitter = input && preview;
  a.ColumnSplitter = a.LeftColumn && a.RightColumn;
  a.AreaShown = shown;
  int hidden = 0;
  for (int area = 0; area < kAreaCount; ++area) {
    a.RestoreShown[area] = !shown[area];
    // A hidden area's button stands after the buttons of the hidden areas before it.
    a.RestoreLeft[area] = kRestoreButtonLeft + kRestoreButtonStep * hidden;
    if (!shown[area]) ++hidden;
  }
  for (int k = 1; k <= kAreaCount; ++k) a.SeparatorShown[k - 1] = k <= hidden;
  return a;
}

unsigned CloseGlyphPen(unsigned buttonFace, bool active) {
  return AddPerChannel(buttonFace, active ? 106 : -90);
}

unsigned HeaderStripColor(unsigned buttonFace) {
  return AddPerChannel(buttonFace, -50);
}

}  // namespace pixolan::ui
