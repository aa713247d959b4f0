#include "config/JobSettings.h"

#include "config/StoreDefinition.h"
#include "core/ValueText.h"

namespace pixolan::config {

namespace {

using core::ActionId;
using core::TOverlayPosition;
using core::TOverlaySize;

// Reads the main window's controls by kind.
class TMainWindow {
 public:
  explicit TMainWindow(const SettingsStore& store) : store_(store) {}
  const std::string& Text(std::string_view name) const { return store_.Entry(Index(name)).Text; }
  bool Checked(std::string_view name) const { return store_.Entry(Index(name)).Number != 0; }
  uint32_t Color(std::string_view name) const { return store_.Color("PBED", name); }

 private:
  size_t Index(std::string_view name) const {
    for (const char* section : {"PBCH", "PBRB", "PBCB", "PBED", "PBMM"})
      if (const std::optional<size_t> index = store_.Find(section, name)) return *index;
    throw std::out_of_range(std::string("no control in the main window: ").append(name));
  }
  const SettingsStore& store_;
};

constexpr std::pair<ActionId, std::string_view> kActionBoxes[] = {
    {ActionId::Resize, "act_size"},
    {ActionId::RotateMirror, "act_drehenspiegeln"},
    {ActionId::Color, "act_farbe"},
    {ActionId::ContrastBrightnessSaturation, "act_khs"},
    {ActionId::Blur, "act_weich"},
    {ActionId::Sharpen, "act_hart"},
    {ActionId::Crop, "act_zuschneiden"},
    {ActionId::Frame, "act_rand"},
    {ActionId::ColorChannels, "act_channels"},
    {ActionId::Watermark, "act_wasserzeichen"},
    {ActionId::Text, "act_text"},
};

void ResolveResizeTarget(SettingsStore& store, core::ConversionSettings& settings) {
  const TMainWindow window(store);
  const struct {
    std::string_view Radio;
    int32_t Width, Height;
  } presets[] = {{"act_size240x320", 240, 320},
                 {"act_size640x480", 640, 480},
                 {"act_size800x600", 800, 600},
                 {"act_size1024x768", 1024, 768}};
  for (const auto& preset : presets) {
    if (!window.Checked(preset.Radio)) continue;
    settings.TargetWidth = preset.Width;
    settings.TargetHeight = preset.Height;
  }
  if (window.Checked("act_sizebenutzer")) {
    const auto userSize = [&](std::string_view box, int32_t& target) {
      if (const std::optional<int32_t> value = core::ParseIntegerText(window.Text(box))) {
        target = *value;
      } else {
        store.SetChecked(store.IndexOf("PBCH", "act_size"), false, TChangeSource::Program);
        settings.Enabled[static_cast<int>(ActionId::Resize)] = false;
      }
    };
    userSize("act_sizebenutzer_x", settings.TargetWidth);
    userSize("act_sizebenutzer_y", settings.TargetHeight);
  }
  const std::string& method = window.Text("act_sizemethode");
  if (method.starts_with("Bic") || method.starts_with("Bik"))
    settings.ResizeFilter = 2;
  else if (method.starts_with("Bil"))
    settings.ResizeFilter = 1;
  else if (method.starts_with("Näc") || method.starts_with("Nea"))
    settings.ResizeFilter = 0;
}

std::string QualityMessage(TLanguage language, const std::string& quality) {
  std::string message;
  if (language == TLanguage::De) {
    message.append("Die Ausgabe-Qualität \"")
        .append(quality)
        .append(
            "\" ist keine ganze Zahl. Bitte geben Sie in den erweiterten Einstellungen der "
            "Ausgabe eine Zahl von 1 bis 100 ein.");
  } else {
    message.append("The output quality \"")
        .append(quality)
        .append(
            "\" is not a whole number. Please enter a number from 1 to 100 in the Output "
            "Settings.");
  }
  return message;
}

}  // namespace

std::array<int, core::kActionCount> RepairedOrder(const SettingsStore& store) {
  std::array<int, core::kActionCount> order{};
  std::array<bool, core::kActionCount + 1> used{};
  for (int i = 0; i < core::kActionCount; ++i) {
    const std::string& entry = store.Text("PBRF", definition::OrderKey(i));
    const std::optional<int> action = definition::OrderEntryAction(entry);
    if (action && !used[*action]) {
      order[i] = *action;
      used[*action] = true;
    }
  }
  int next = 1;
  for (int& action : order) {
    if (action != 0) continue;
    while (used[next]) ++next;
    action = next;
    used[next] = true;
  }
  return order;
}

TActionSteps ActionStepsOf(const SettingsStore& store) {
  TActionSteps steps{};
  const std::array<int, core::kActionCount> order = RepairedOrder(store);
  for (int i = 0; i < core::kActionCount; ++i) steps[order[i]] = i;
  return steps;
}

TActionSteps ReihenFolgeFestlegen(SettingsStore& store) {
  const std::array<int, core::kActionCount> order = RepairedOrder(store);
  for (int i = 0; i < core::kActionCount; ++i)
    store.SetText(store.IndexOf("PBRF", definition::OrderKey(i)),
                  definition::OrderEntryText(order[i], store.Language()), TChangeSource::Program);
  return ActionStepsOf(store);
}

void KonvertierWerteSetzen(SettingsStore& store, core::ConversionSettings& settings) {
  for (const auto& [action, box] : kActionBoxes)
    settings.Enabled[static_cast<int>(action)] = store.Checked("PBCH", box);
  settings.ActionStep = ActionStepsOf(store);
  if (settings.IsEnabled(ActionId::Resize)) ResolveResizeTarget(store, settings);

  const TMainWindow w(store);
  settings.KeepProportions = w.Checked("act_sizeprop");
  settings.LandscapePortrait = w.Checked("act_sizehochquerformat");
  settings.ResizeIfLarger = w.Checked("act_sizebigger");
  settings.ResizeIfSmaller = w.Checked("act_sizekleiner");

  settings.MirrorLeftRight = w.Checked("act_spiegelnvert");
  settings.FlipUpsideDown = w.Checked("act_spiegelnhor");
  settings.Rotate = w.Checked("act_drehen");
  settings.RotateAngle = w.Text("act_drehencb");

  settings.ColorRed = w.Text("act_farbe_r");
  settings.ColorGreen = w.Text("act_farbe_g");
  settings.ColorBlue = w.Text("act_farbe_b");
  settings.Colorize = w.Checked("act_farbe_kolorieren");
  settings.Gamma = w.Checked("act_farbegamma");
  settings.GammaRed = w.Text("act_farberot");
  settings.GammaGreen = w.Text("act_farbegruen");
  settings.GammaBlue = w.Text("act_farbeblau");
  settings.Negative = w.Checked("act_farbenegativ");
  settings.SwapChannels = w.Checked("act_farbevertauschen");
  settings.SwapFirst = w.Text("act_farbevert1");
  settings.SwapSecond = w.Text("act_farbevert2");
  settings.ReduceColors = w.Checked("act_farbereduzieren");
  settings.ColorCount = w.Text("act_farberedcb");

  settings.Contrast = w.Text("act_farbekontrast");
  settings.Brightness = w.Text("act_farbehelligkeit");
  settings.Saturation = w.Text("act_farbesaettigung");

  settings.BlurHorizontal = w.Text("act_weich_gr_h");
  settings.BlurVertical = w.Text("act_weich_gr_v");
  settings.BlurGaussian = w.Checked("act_weich_gauss");
  settings.SharpenStrength = w.Text("act_hart_st");
  settings.SharpenRadius = w.Text("act_hart_gr");

  settings.CropLeft = w.Text("act_zuschlinks");
  settings.CropRight = w.Text("act_zuschrechts");
  settings.CropTop = w.Text("act_zuschoben");
  settings.CropBottom = w.Text("act_zuschunten");
  settings.CropKeep = w.Checked("rb_zuschn_beibehalten");

  settings.FrameWidth = w.Text("act_randbreite");
  settings.FrameColor = w.Color("act_randfarbe");
  settings.FrameEnlarge = w.Checked("act_randhinzu");
  settings.FrameTransparency = w.Text("act_randtransp");

  settings.ChannelMode =
      w.Checked("act_channels_cmyk") ? core::TChannelMode::Cmyk : core::TChannelMode::Rgb;
  settings.KeepRed = w.Checked("act_channel_rot");
  settings.KeepGreen = w.Checked("act_channel_gruen");
  settings.KeepBlue = w.Checked("act_channel_blau");
  settings.KeepCyan = w.Checked("act_channel_c");
  settings.KeepMagenta = w.Checked("act_channel_m");
  settings.KeepYellow = w.Checked("act_channel_y");
  settings.KeepBlack = w.Checked("act_channel_k");
  settings.MissingChannels = w.Text("act_channels_zufarbe");

  settings.WatermarkPath = w.Text("act_wz_quelle");
  settings.WatermarkTransparency = w.Text("act_wz_transpwert");
  settings.WatermarkKeyColorOn = w.Checked("act_wz_transpfarbeaktiv");
  settings.WatermarkKeyColor = w.Color("act_wz_transpfarbe");
  settings.WatermarkSize = w.Checked("act_wz_g_resize")     ? TOverlaySize::ImageSize
                           : w.Checked("act_wz_g_benutzer") ? TOverlaySize::UserDefined
                                                            : TOverlaySize::Own;
  settings.WatermarkWidth = w.Text("act_wz_benutzer_x");
  settings.WatermarkHeight = w.Text("act_wz_benutzer_y");
  settings.WatermarkPosition =
      w.Checked("act_wz_p_benutzer") ? TOverlayPosition::UserDefined : TOverlayPosition::Centered;
  settings.WatermarkOffsetX = w.Text("act_wz_p_benutzer_pixelou");
  settings.WatermarkOffsetY = w.Text("act_wz_p_benutzer_pixellr");
  settings.WatermarkFromRight = w.Checked("act_wz_p_benutzer_unten");
  settings.WatermarkFromBottom = w.Checked("act_wz_p_benutzer_rechts");

  settings.Text = w.Text("act_text_quelle");
  settings.TextFont.Face = store.Text("FCE", "FON");
  settings.TextFont.Size = store.Number("FCE", "FSI");
  settings.TextFont.Bold = store.Checked("FCE", "FBO");
  settings.TextFont.Italic = store.Checked("FCE", "FIT");
  settings.TextFont.Underline = store.Checked("FCE", "FUN");
  settings.TextFont.StrikeOut = store.Checked("FCE", "FSO");
  settings.TextColor = w.Color("act_text_fontcolor");
  settings.TextBackground = w.Color("act_text_hintergrund");
  settings.TextTransparentBackground = w.Checked("act_text_hgtransparent");
  settings.TextTransparency = w.Text("act_text_transpwert");
  settings.TextSize = w.Checked("act_text_g_resize")     ? TOverlaySize::ImageSize
                      : w.Checked("act_text_g_benutzer") ? TOverlaySize::UserDefined
                                                         : TOverlaySize::Own;
  settings.TextWidth = w.Text("act_text_benutzer_x");
  settings.TextHeight = w.Text("act_text_benutzer_y");
  settings.TextPosition =
      w.Checked("act_text_p_benutzer") ? TOverlayPosition::UserDefined : TOverlayPosition::Centered;
  settings.TextOffsetX = w.Text("act_text_p_benutzer_pixelou");
  settings.TextOffsetY = w.Text("act_text_p_benutzer_pixellr");
  settings.TextFromRight = w.Checked("act_text_p_benutzer_unten");
  settings.TextFromBottom = w.Checked("act_text_p_benutzer_rechts");

  TakeOutputSettings(store, settings);
}

void TakeOutputSettings(const SettingsStore& store, core::ConversionSettings& settings) {
  const TMainWindow w(store);
  settings.OverwriteOriginal = w.Checked("out_overwrite");
  settings.FolderPattern = w.Text("out_ordner");
  settings.NamePattern = w.Text("out_name");
  settings.Format = w.Text("out_format");
  settings.DeleteOriginal = w.Checked("out_deleteoriginal");
}

core::TSaveSettings SaveSettingsOf(const SettingsStore& store) {
  const std::string& qualityText = store.Text("EACB", "out_quality");
  const std::optional<int32_t> quality = core::ParseIntegerText(qualityText);
  if (!quality) throw EOutputSettingsError(QualityMessage(store.Language(), qualityText));
  return {.Quality = *quality,
          .Progressive = store.Checked("EACH", "progressivaktiv"),
          .PsdLayers = store.Checked("EACH", "psdlayers")};
}

void AusgabeWerteSetzen(const SettingsStore& store) {
  core::ApplySaveSettings(SaveSettingsOf(store));
}

core::TRunSettings TakeRunSettings(SettingsStore& store) {
  core::TRunSettings settings;
  settings.Save = SaveSettingsOf(store);
  KonvertierWerteSetzen(store, settings.Conversion);
  return settings;
}

}  // namespace pixolan::config
