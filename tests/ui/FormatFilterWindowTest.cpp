#include <gtest/gtest.h>

#include <QCheckBox>
#include <QRadioButton>
#include <QTest>

#include "config/SettingsStore.h"
#include "input/FormatFilter.h"
#include "support/QtApplication.h"
#include "ui/FormatFilterWindow.h"

namespace pixolan::ui {
namespace {

class FormatFilterWindowTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { test::Application(); }
  void SetUp() override { window_.show(); }
  QCheckBox& Box(const char* name) {
    auto* box = window_.findChild<QCheckBox*>(name);
    EXPECT_NE(box, nullptr) << name;
    return *box;
  }
  void Click(const char* name) {
    QTest::mouseClick(window_.findChild<QAbstractButton*>(name), Qt::LeftButton, {}, QPoint(5, 5));
  }
  // The boxes that can be used, as "name" or "name*" when ticked.
  std::string Usable(std::initializer_list<const char*> names) {
    std::string usable;
    for (const char* name : names) {
      if (!Box(name).isEnabled()) continue;
      usable += std::string(usable.empty() ? "" : " ") + name + (Box(name).isChecked() ? "*" : "");
    }
    return usable;
  }

  config::SettingsStore store_{config::TLanguage::En};
  TFormatFilterWindow window_{store_};
};

TEST_F(FormatFilterWindowTest, BoxesAreUsableOnlyForSelectedFormats) {
  const auto all = {"cb_jpg", "jpg", "jpeg", "jif", "cb_tiff", "tif", "png", "xpm"};
  EXPECT_TRUE(window_.findChild<QRadioButton*>("alle")->isChecked());
  EXPECT_EQ(window_.findChildren<QCheckBox*>().size(), 37);
  EXPECT_EQ(Usable(all), "");
  Click("auswahl");
  EXPECT_TRUE(store_.Checked("PFRB", "auswahl"));
  EXPECT_EQ(Usable(all), "cb_jpg cb_tiff png xpm");
  // A family box ticks and enables its members; unticking clears and disables them.
  Click("cb_jpg");
  EXPECT_EQ(Usable(all), "cb_jpg* jpg* jpeg* jif* cb_tiff png xpm");
  Click("jpeg");
  EXPECT_FALSE(store_.Checked("PFCH", "jpeg"));
  Click("png");
  // Back to all formats: nothing usable; the choice comes back with the members of a
  // ticked family ticked again.
  Click("alle");
  EXPECT_EQ(Usable(all), "");
  Click("auswahl");
  EXPECT_EQ(Usable(all), "cb_jpg* jpg* jpeg* jif* cb_tiff png* xpm");
  Click("cb_jpg");
  EXPECT_EQ(Usable(all), "cb_jpg cb_tiff png* xpm");
  EXPECT_EQ(input::ScanSettingsOf(store_).Extensions, std::vector<std::string>{".png"});
}

TEST_F(FormatFilterWindowTest, ALoadedStateShowsWithItsRules) {
  // As a configuration sets it: program writes, which tick no members.
  store_.SetChecked(store_.IndexOf("PFRB", "auswahl"), true, config::TChangeSource::Program);
  store_.SetChecked(store_.IndexOf("PFCH", "cb_tiff"), true, config::TChangeSource::Program);
  store_.SetChecked(store_.IndexOf("PFCH", "tiff"), true, config::TChangeSource::Program);
  EXPECT_EQ(Usable({"cb_tiff", "tif", "tiff", "cb_jpg", "jpg"}), "cb_tiff* tif tiff* cb_jpg");
  EXPECT_TRUE(window_.isModal());
  EXPECT_EQ(Box("cb_portable").text().toStdString(), "Portable Bit/Gray/Pixel/Arbitrary Map");
  EXPECT_EQ(window_.findChild<QRadioButton*>("auswahl")->text().toStdString(),
            "Only the following selected Formats:");
}

}  // namespace
}  // namespace pixolan::ui
