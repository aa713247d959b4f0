#include <gtest/gtest.h>

#include <atomic>

#include "config/JobSettings.h"
#include "config/StoreDefinition.h"
#include "imaging/io/Options.h"
#include "imaging/io/Registry.h"

namespace pixolan::config {
namespace {

using core::ActionId;

void Set(SettingsStore& store, std::string_view name, std::string_view value) {
  store.SetValueText(store.Resolve(name), value);
}

TEST(KonvertierWerteSetzen, ResolvesTheResizeTarget) {
  const struct {
    std::string_view radio, width, height;
    int32_t targetWidth, targetHeight;
    bool resizeOn;
  } cases[] = {
      {"act_size240x320", "", "", 240, 320, true},
      {"act_size640x480", "", "", 640, 480, true},
      {"act_size800x600", "", "", 800, 600, true},
      {"act_size1024x768", "", "", 1024, 768, true},
      {"act_sizebenutzer", "1920", "1080", 1920, 1080, true},
      // A user width that is not an integer switches the action off for the run and in
      // the store; the height is still taken.
      {"act_sizebenutzer", "abc", "300", 0, 300, false},
      {"act_sizebenutzer", "800", "", 800, 0, false},
      {"act_sizebenutzer", "8 00", "600", 0, 600, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.radio) + " " + std::string(c.width));
    SettingsStore store;
    Set(store, "act_size", "1");
    Set(store, c.radio, "1");
    Set(store, "act_sizebenutzer_x", c.width);
    Set(store, "act_sizebenutzer_y", c.height);
    core::ConversionSettings settings;
    KonvertierWerteSetzen(store, settings);
    EXPECT_EQ(settings.TargetWidth, c.targetWidth);
    EXPECT_EQ(settings.TargetHeight, c.targetHeight);
    EXPECT_EQ(settings.IsEnabled(ActionId::Resize), c.resizeOn);
    EXPECT_EQ(store.Checked("PBCH", "act_size"), c.resizeOn);
  }
}

TEST(KonvertierWerteSetzen, ResizeOffLeavesTheUserSizeAlone) {
  SettingsStore store;
  Set(store, "act_sizebenutzer", "1");
  Set(store, "act_sizebenutzer_x", "abc");
  core::ConversionSettings settings;
  KonvertierWerteSetzen(store, settings);
  EXPECT_FALSE(settings.IsEnabled(ActionId::Resize));
  EXPECT_EQ(settings.TargetWidth, 0);
  EXPECT_EQ(store.Text("PBCB", "act_sizebenutzer_x"), "abc");
}

TEST(KonvertierWerteSetzen, ResizeMethodInBothLanguages) {
  const struct {
    std::string_view method;
    int filter;
  } cases[] = {
      {"Bikubisch", 2}, {"Bicubic", 2}, {"Bilinear", 1}, {"Nächster Nachbar", 0},
      {"Nearest", 0},   {"Bicx", 2},    {"Nea", 0},      {"Lanczos", 7},
      {"", 7},          {"Bi", 7},      {"bicubic", 7},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.method));
    SettingsStore store;
    Set(store, "act_size", "1");
    Set(store, "act_sizemethode", c.method);
    core::ConversionSettings settings;
    settings.ResizeFilter = 7;  // an unknown method leaves the previous filter
    KonvertierWerteSetzen(store, settings);
    EXPECT_EQ(settings.ResizeFilter, c.filter);
  }
}

TEST(KonvertierWerteSetzen, TakesEveryGroup) {
  SettingsStore store;
  for (std::string_view box : {"act_drehenspiegeln", "act_khs", "act_rand", "act_text"})
    Set(store, box, "1");
  Set(store, "act_spiegelnvert", "1");
  Set(store, "act_farbe_g", "-40");
  Set(store, "act_farbeblau", "2,5");
  Set(store, "act_farbevert2", "Green");
  Set(store, "act_hart_st", "120");
  Set(store, "rb_zuschn_beibehalten", "1");
  Set(store, "act_randfarbe", "#FF8000");
  Set(store, "act_randfarbe", "#FF80");  // invalid: the last valid color counts
  Set(store, "act_channels_cmyk", "1");
  Set(store, "act_channel_m", "0");
  Set(store, "act_wz_g_resize", "1");
  Set(store, "act_wz_p_benutzer", "1");
  Set(store, "act_wz_p_benutzer_oben", "1");
  Set(store, "act_text_g_benutzer", "1");
  Set(store, "act_text_quelle", "Hallo\x1FWelt");
  Set(store, "FCE.FON", "DejaVu Sans");
  Set(store, "FCE.FIT", "1");
  Set(store, "act_text_fontcolor", "#00FF00");
  Set(store, "out_overwrite", "1");
  Set(store, "out_name", "%name%_x");

  core::ConversionSettings settings;
  KonvertierWerteSetzen(store, settings);
  for (ActionId action : {ActionId::RotateMirror, ActionId::ContrastBrightnessSaturation,
                          ActionId::Frame, ActionId::Text})
    EXPECT_TRUE(settings.IsEnabled(action)) << static_cast<int>(action);
  for (ActionId action : {ActionId::Resize, ActionId::Color, ActionId::Blur, ActionId::Sharpen,
                          ActionId::Crop, ActionId::ColorChannels, ActionId::Watermark})
    EXPECT_FALSE(settings.IsEnabled(action)) << static_cast<int>(action);
  EXPECT_TRUE(settings.MirrorLeftRight);
  EXPECT_FALSE(settings.FlipUpsideDown);
  EXPECT_EQ(settings.RotateAngle, "90°");
  EXPECT_EQ(settings.ColorGreen, "-40");
  EXPECT_EQ(settings.GammaBlue, "2,5");
  EXPECT_EQ(settings.SwapFirst, "Red");
  EXPECT_EQ(settings.SwapSecond, "Green");
  EXPECT_EQ(settings.SharpenStrength, "120");
  EXPECT_TRUE(settings.CropKeep);
  EXPECT_EQ(settings.FrameColor, 0x0080FFu);
  EXPECT_EQ(settings.ChannelMode, core::TChannelMode::Cmyk);
  EXPECT_FALSE(settings.KeepMagenta);
  EXPECT_TRUE(settings.KeepYellow);
  EXPECT_EQ(settings.MissingChannels, "White");
  EXPECT_EQ(settings.WatermarkSize, core::TOverlaySize::ImageSize);
  EXPECT_EQ(settings.WatermarkPosition, core::TOverlayPosition::UserDefined);
  EXPECT_FALSE(settings.WatermarkFromRight);  // "links" ticked unticks "rechts"
  EXPECT_TRUE(settings.WatermarkFromBottom);
  EXPECT_EQ(settings.WatermarkKeyColor, 0xFFFFFFu);
  EXPECT_EQ(settings.TextSize, core::TOverlaySize::UserDefined);
  EXPECT_EQ(settings.TextPosition, core::TOverlayPosition::Centered);
  EXPECT_EQ(settings.Text, "Hallo\r\nWelt");
  EXPECT_EQ(settings.TextFont.Face, "DejaVu Sans");
  EXPECT_EQ(settings.TextFont.Size, 16);
  EXPECT_TRUE(settings.TextFont.Bold);
  EXPECT_TRUE(settings.TextFont.Italic);
  EXPECT_EQ(settings.TextColor, 0x00FF00u);
  EXPECT_EQ(settings.TextBackground, 0xFFFFFFu);
  EXPECT_TRUE(settings.OverwriteOriginal);
  EXPECT_EQ(settings.NamePattern, "%name%_x");
  EXPECT_EQ(settings.FolderPattern, "<keep>");
}

TEST(TakeOutputSettings, TakesTheOutputGroupAlone) {
  SettingsStore store;
  Set(store, "act_size", "1");
  Set(store, "act_sizebenutzer", "1");
  Set(store, "act_sizebenutzer_x", "abc");  // would switch the resize action off
  Set(store, "out_ordner", "/tmp/out");
  Set(store, "out_name", "%num%");
  Set(store, "out_format", "*.png - Portable Network Graphics");
  Set(store, "out_deleteoriginal", "1");

  core::ConversionSettings settings;
  TakeOutputSettings(store, settings);
  EXPECT_FALSE(settings.OverwriteOriginal);
  EXPECT_EQ(settings.FolderPattern, "/tmp/out");
  EXPECT_EQ(settings.NamePattern, "%num%");
  EXPECT_EQ(settings.Format, "*.png - Portable Network Graphics");
  EXPECT_TRUE(settings.DeleteOriginal);
  EXPECT_FALSE(settings.IsEnabled(ActionId::Resize));
  EXPECT_TRUE(store.Checked("PBCH", "act_size"));
}

// Order entries r0..r10 as given; a missing one keeps the default text.
SettingsStore StoreWithOrder(std::initializer_list<std::string_view> entries) {
  SettingsStore store(TLanguage::De);
  int i = 0;
  for (std::string_view entry : entries)
    store.SetText(store.IndexOf("PBRF", definition::OrderKey(i++)), std::string(entry));
  return store;
}

TEST(ReihenFolgeFestlegen, RepairsListsThatAreNoPermutation) {
  using TOrder = std::array<int, 11>;
  const struct {
    std::string_view name;
    std::initializer_list<std::string_view> entries;
    TOrder order;
  } cases[] = {
      {"default", {}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}},
      {"text first, resize last",
       {"11   Text hinzufügen", "02", "03", "04", "05", "06", "07", "08", "09", "10",
        "01   Bildgröße"},
       {11, 2, 3, 4, 5, 6, 7, 8, 9, 10, 1}},
      // A repeated number: the first keeps it, the later entry takes the missing action.
      {"duplicate", {"03   Farbe", "02", "03   Farbe"}, {3, 2, 1, 4, 5, 6, 7, 8, 9, 10, 11}},
      // Out of range, no number, empty: the missing actions in ascending order.
      {"invalid",
       {"12   Zwölf", "ab", "", "00", "-1", "99", "07"},
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}},
      {"invalid among moved", {"xx", "11", "10", "xx"}, {1, 11, 10, 2, 5, 6, 7, 8, 9, 3, 4}},
      {"one digit", {"5"}, {5, 2, 3, 4, 1, 6, 7, 8, 9, 10, 11}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name));
    SettingsStore store = StoreWithOrder(c.entries);
    EXPECT_EQ(RepairedOrder(store), c.order);
    const TActionSteps steps = ReihenFolgeFestlegen(store);
    for (int i = 0; i < 11; ++i) {
      EXPECT_EQ(steps[c.order[i]], i);
      EXPECT_EQ(store.Text("PBRF", definition::OrderKey(i)),
                definition::OrderEntryText(c.order[i], TLanguage::De));
    }
  }
}

TEST(ReihenFolgeFestlegen, StepsReachTheSnapshot) {
  SettingsStore store = StoreWithOrder({"11   Text hinzufügen", "02", "03", "04", "05", "06", "07",
                                        "08", "09", "10", "01   Bildgröße"});
  core::ConversionSettings settings;
  KonvertierWerteSetzen(store, settings);
  EXPECT_EQ(settings.StepOf(ActionId::Text), 0);
  EXPECT_EQ(settings.StepOf(ActionId::Resize), 10);
  EXPECT_EQ(settings.StepOf(ActionId::Color), 2);
}

class AusgabeWerteSetzenTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(imaging::EnginePushOptions()); }
  void TearDown() override { imaging::EnginePopOptions(); }
};

// Binds a variable to an option id while no handler of this build holds that id, so that
// what is set there can be seen; unbound again when it goes away.
class TStandInOption {
 public:
  explicit TStandInOption(int32_t id) : id_(id) {
    if (imaging::EngineGetOption(id) == imaging::OptionInvalid)
      bound_ = imaging::RegisterEngineOption(id, &value_);
  }
  ~TStandInOption() {
    if (bound_) imaging::UnregisterEngineOption(id_, &value_);
  }
  TStandInOption(const TStandInOption&) = delete;
  TStandInOption& operator=(const TStandInOption&) = delete;

 private:
  int32_t id_;
  std::atomic<int32_t> value_{-1};
  bool bound_ = false;
};

TEST_F(AusgabeWerteSetzenTest, SetsQualityProgressiveAndLayers) {
  const TStandInOption layers(imaging::kOptionPsdSaveAsLayer);
  ASSERT_TRUE(imaging::EngineSetOption(imaging::kOptionPsdSaveAsLayer, -1));
  SettingsStore store;
  Set(store, "EACB.out_quality", "55");
  Set(store, "progressivaktiv", "1");
  Set(store, "psdlayers", "1");
  AusgabeWerteSetzen(store);
  EXPECT_EQ(imaging::EngineGetOption(10), 55);
  EXPECT_EQ(imaging::EngineGetOption(11), 1);
  EXPECT_EQ(imaging::EngineGetOption(imaging::kOptionPsdSaveAsLayer), 1);
  Set(store, "progressivaktiv", "0");
  Set(store, "psdlayers", "0");
  AusgabeWerteSetzen(store);
  EXPECT_EQ(imaging::EngineGetOption(11), 0);
  EXPECT_EQ(imaging::EngineGetOption(imaging::kOptionPsdSaveAsLayer), 0);
}

TEST_F(AusgabeWerteSetzenTest, RefusesAQualityThatIsNoWholeNumber) {
  const struct {
    TLanguage language;
    std::string_view quality, message;
  } cases[] = {
      {TLanguage::En, "abc",
       "The output quality \"abc\" is not a whole number. Please enter a number from 1 to 100 "
       "in the Output Settings."},
      {TLanguage::En, "", "The output quality \"\" is not a whole number."},
      {TLanguage::En, "9,5", "The output quality \"9,5\" is not a whole number."},
      {TLanguage::De, "x",
       "Die Ausgabe-Qualität \"x\" ist keine ganze Zahl. Bitte geben Sie in den erweiterten "
       "Einstellungen der Ausgabe eine Zahl von 1 bis 100 ein."},
  };
  ASSERT_TRUE(imaging::EngineSetOption(10, 42));
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.quality));
    SettingsStore store(c.language);
    Set(store, "EACB.out_quality", c.quality);
    try {
      AusgabeWerteSetzen(store);
      ADD_FAILURE() << "accepted";
    } catch (const EOutputSettingsError& e) {
      EXPECT_TRUE(std::string(e.what()).starts_with(c.message)) << e.what();
    }
    EXPECT_EQ(imaging::EngineGetOption(10), 42) << "no option is set before the refusal";
  }
}

}  // namespace
}  // namespace pixolan::config
