#include <gtest/gtest.h>

#include <QPushButton>

#include "input/InputList.h"
#include "lang/Messages.h"
#include "support/DialogScript.h"
#include "support/QtApplication.h"
#include "ui/MessageWindow.h"

namespace pixolan::ui {
namespace {

using test::LabelText;
using test::PressWhenShown;

class MessageWindowTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { test::Application(); }
  void SetUp() override { lang::SetCurrentLanguage(lang::TLanguage::En); }
  void TearDown() override { lang::SetCurrentLanguage(lang::TLanguage::De); }
  bool OkForAllShown() const { return !window_.findChild<QPushButton*>("OKalle")->isHidden(); }
  TMessageWindow window_;
};

TEST_F(MessageWindowTest, OkClosesAndOkForAllSetsTheFlag) {
  struct TCase {
    const char* key;
    const char* button;
    bool offersOkForAll, okForAll;
  };
  const TCase cases[] = {
      {"speicherfehler", "OK", true, false},
      {"speicherfehler", "OKalle", true, true},
      {"keinordner", "OK", false, false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::string(c.key) + " " + c.button);
    window_.SetOkForAll(false);
    bool shownWithButton = false;
    PressWhenShown(window_, c.button);
    QTimer::singleShot(0, &window_, [&] { shownWithButton = OkForAllShown(); });
    EXPECT_EQ(lang::meldungzeigen(window_, c.key, "/out/bild.bmp"), c.okForAll);
    EXPECT_EQ(shownWithButton, c.offersOkForAll);
    EXPECT_EQ(window_.OkForAll(), c.okForAll);
    EXPECT_FALSE(window_.isVisible());
  }
}

TEST_F(MessageWindowTest, ShowsTitleLinesAndTheQuotedArgument) {
  PressWhenShown(window_, "OK");
  lang::meldungzeigen(window_, "speicherfehler", "/out/bild.bmp");
  EXPECT_EQ(LabelText(window_, "title label"), "Saving Error");
  EXPECT_EQ(LabelText(window_, "line 1"), "An Erros occurs during saving this file:");
  EXPECT_EQ(LabelText(window_, "line 2"), "\"/out/bild.bmp\"");
  EXPECT_EQ(LabelText(window_, "line 3"), "Please use another file format.");
  EXPECT_EQ(window_.ArgumentWidth(), window_.findChild<QLabel*>("line 2")->width());
  // A path too long for the line is shortened from the left.
  const std::string longPath = "/" + std::string(200, 'x') + "/Urlaub/bild.jpg";
  PressWhenShown(window_, "OK");
  lang::meldungzeigen(window_, "speicherfehler", longPath);
  EXPECT_EQ(LabelText(window_, "line 2"), "\"/.../Urlaub/bild.jpg\"");
}

// While OkForAll is set, the sinks of core code and of the input list stay silent for the
// messages that offer it, and only for those.
TEST_F(MessageWindowTest, OkForAllSilencesTheMessagesThatOfferIt) {
  TWindowMessageSink sink(window_);
  TWindowListMessages list(window_);
  int shown = 0;
  QObject::connect(&window_, &QDialog::finished, &window_, [&] { ++shown; });
  window_.SetOkForAll(true);
  EXPECT_TRUE(list.OkForAll());
  EXPECT_TRUE(sink.Show("konvertierfehler", "/a.png"));
  sink.ShowMessage("speicherfehler", "/a.png");
  EXPECT_EQ(shown, 0);
  PressWhenShown(window_, "OK");
  sink.ShowMessage("keinname", "");
  EXPECT_EQ(shown, 1);
  list.SetOkForAll(false);
  EXPECT_FALSE(window_.OkForAll());
  PressWhenShown(window_, "OKalle");
  list.ShowMessage("dateischoninliste", "/a.png");
  EXPECT_EQ(shown, 2);
  EXPECT_TRUE(list.OkForAll());
}

}  // namespace
}  // namespace pixolan::ui
