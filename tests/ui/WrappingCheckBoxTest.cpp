#include <gtest/gtest.h>

#include <QTest>

#include "support/QtApplication.h"
#include "ui/WrappingCheckBox.h"

namespace pixolan::ui {
namespace {

TEST(WrappingCheckBoxTest, ALongCaptionWrapsAndStaysClickable) {
  test::Application();
  TWrappingCheckBox box;
  box.setText("Process if Original is smaller than Maximum Size");
  const int oneLine = box.heightForWidth(box.sizeHint().width());
  EXPECT_EQ(oneLine, box.sizeHint().height());
  const int narrow = box.minimumSizeHint().width();
  EXPECT_LT(narrow, box.sizeHint().width() / 2);
  EXPECT_GE(box.heightForWidth(narrow), 3 * box.fontMetrics().height());

  box.resize(narrow, box.heightForWidth(narrow));
  box.show();
  // A click on the last line of the caption ticks the box, as a click on one line does.
  QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(narrow - 2, box.height() - 2));
  EXPECT_TRUE(box.isChecked());
}

}  // namespace
}  // namespace pixolan::ui
