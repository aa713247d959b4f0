// The settings of one run, preview or clipboard conversion, taken from the settings store
// at its start.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace pixolan::core {

// The eleven image actions, numbered as in the order list.
enum class ActionId : int {
  Resize = 1,
  RotateMirror = 2,
  Color = 3,
  ContrastBrightnessSaturation = 4,
  Blur = 5,
  Sharpen = 6,
  Crop = 7,
  Frame = 8,
  ColorChannels = 9,
  Watermark = 10,
  Text = 11,
};
inline constexpr int kActionCount = 11;

// Watermark: original size; text: the size the font gives. Both: the working image's size
// or a user-defined size.
enum class TOverlaySize { Own, ImageSize, UserDefined };
enum class TOverlayPosition { Centered, UserDefined };
enum class TChannelMode { Rgb, Cmyk };

struct TTextFont {
  std::string Face = "Courier New";
  int32_t Size = 16;  // points
  bool Bold = true;
  bool Italic = false;
  bool Underline = false;
  bool StrikeOut = false;

  bool operator==(const TTextFont&) const = default;
};

// Snapshot of every setting a run needs. Number boxes are kept as their texts: each action
// has its own fallback for a text that is not a number, and some look at the text itself
// (the color values are skipped when they read exactly "0"). Colors are Windows color
// values (red in the low byte).
struct ConversionSettings {
  // Indexed by ActionId; entry 0 is unused.
  std::array<bool, kActionCount + 1> Enabled{};
  // The step 0..10 at which each action runs; all 0 until an order has been computed.
  std::array<int, kActionCount + 1> ActionStep{};

  bool IsEnabled(ActionId action) const { return Enabled[static_cast<int>(action)]; }
  int StepOf(ActionId action) const { return ActionStep[static_cast<int>(action)]; }

  // Resize: the resolved target box and the engine's filter (0 nearest, 1 bilinear,
  // 2 bicubic). Left as they were when no preset is checked or the method is unknown.
  int32_t TargetWidth = 0;
  int32_t TargetHeight = 0;
  int ResizeFilter = 0;
  bool KeepProportions = true;
  bool LandscapePortrait = true;
  bool ResizeIfLarger = true;
  bool ResizeIfSmaller = true;

  // Rotate and mirror.
  bool MirrorLeftRight = false;  // act_spiegelnvert
  bool FlipUpsideDown = false;   // act_spiegelnhor
  bool Rotate = false;
  std::string RotateAngle = "90°";

  // Color.
  std::string ColorRed = "0", ColorGreen = "0", ColorBlue = "0";
  bool Colorize = false;
  bool Gamma = false;
  std::string GammaRed = "1,0", GammaGreen = "1,0", GammaBlue = "1,0";
  bool Negative = false;
  bool SwapChannels = false;
  std::string SwapFirst = "Rot", SwapSecond = "Blau";
  bool ReduceColors = false;
  std::string ColorCount = "2";

  // Contrast, brightness, saturation.
  std::string Contrast = "0", Brightness = "0", Saturation = "0";

  // Blur and sharpen.
  std::string BlurHorizontal = "1", BlurVertical = "~";
  bool BlurGaussian = false;
  std::string SharpenStrength = "35", SharpenRadius = "1";

  // Crop: cut the amounts off, or keep only them.
  std::string CropLeft = "0", CropRight = "0", CropTop = "0", CropBottom = "0";
  bool CropKeep = false;

  // Frame.
  std::string FrameWidth = "5";
  uint32_t FrameColor = 0x000000;
  bool FrameEnlarge = false;
  std::string FrameTransparency = "0";

  // Color channels: which channels are kept and what a removed one becomes.
  TChannelMode ChannelMode = TChannelMode::Rgb;
  bool KeepRed = true, KeepGreen = true, KeepBlue = true;
  bool KeepCyan = true, KeepMagenta = true, KeepYellow = true, KeepBlack = true;
  std::string MissingChannels = "Weiß";

  // Watermark.
  std::string WatermarkPath;
  std::string WatermarkTransparency = "50";
  bool WatermarkKeyColorOn = false;
  uint32_t WatermarkKeyColor = 0xFFFFFF;
  TOverlaySize WatermarkSize = TOverlaySize::Own;
  std::string WatermarkWidth = "640", WatermarkHeight = "480";
  TOverlayPosition WatermarkPosition = TOverlayPosition::Centered;
  std::string WatermarkOffsetX = "100", WatermarkOffsetY = "100";
  bool WatermarkFromRight = true, WatermarkFromBottom = true;

  // Text; its lines are separated by CR LF.
  std::string Text = "abc";
  TTextFont TextFont;
  uint32_t TextColor = 0x000000;
  uint32_t TextBackground = 0xFFFFFF;
  bool TextTransparentBackground = false;
  std::string TextTransparency = "50";
  TOverlaySize TextSize = TOverlaySize::Own;
  std::string TextWidth = "640", TextHeight = "480";
  TOverlayPosition TextPosition = TOverlayPosition::Centered;
  std::string TextOffsetX = "100", TextOffsetY = "100";
  bool TextFromRight = true, TextFromBottom = true;

  // Output group, read by the run for each file.
  bool OverwriteOriginal = false;
  std::string FolderPattern = "<beibehalten>";
  std::string NamePattern = "%name%-1";
  std::string Format = "<beibehalten>";
  bool DeleteOriginal = false;

  bool operator==(const ConversionSettings&) const = default;
};

}  // namespace pixolan::core
