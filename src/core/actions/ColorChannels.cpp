// Action 9: remove color channels in RGB or CMYK terms.
#include "core/actions/Actions.h"

namespace pixolan::core::actions {

void ColorChannels(imaging::TImageData& image, const TActionContext& context) {
  const ConversionSettings& s = context.Settings;
  imaging::TImagingCanvas canvas(image);
  const std::string& to = s.MissingChannels;
  const bool white = to == "Weiß" || to == "White";
  const bool black = to == "Schwarz" || to == "Black";
  const bool negative = to == "Negativ" || to == "Negative";
  if (s.ChannelMode == TChannelMode::Rgb) {
    if (white) canvas.FilterChannelsFull(s.KeepRed, s.KeepGreen, s.KeepBlue);
    if (black) canvas.FilterChannelsZero(s.KeepRed, s.KeepGreen, s.KeepBlue);
    if (negative) canvas.FilterChannelsInvert(s.KeepRed, s.KeepGreen, s.KeepBlue);
    return;
  }
  if (white) canvas.FilterInksRemove(s.KeepCyan, s.KeepMagenta, s.KeepYellow, s.KeepBlack);
  if (black) canvas.FilterInksKeepRaw(s.KeepCyan, s.KeepMagenta, s.KeepYellow, s.KeepBlack);
  if (negative) canvas.FilterInksSaturate(s.KeepCyan, s.KeepMagenta, s.KeepYellow, s.KeepBlack);
}

}  // namespace pixolan::core::actions
