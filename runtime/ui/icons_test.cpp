// Icons, cursors and fonts by the names window definitions use.
#include "runtime/ui/icons.h"

#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "platform/window/test_application.h"

namespace cinevo {
namespace {

// Every name the application uses is drawn, whatever the desktop's icon theme has, and is found
// without regard to case or the leading "~" of icons kept in the program.
TEST(IconsTest, EveryKnownNameHasADrawingFoundWithoutCase) {
  for (const IconName& known : KnownIcons()) {
    const std::string name = known.name;
    const QPixmap drawn = IconForName(name).pixmap(16, 16);
    EXPECT_FALSE(drawn.isNull()) << name;
    // Something is drawn: not every pixel is transparent.
    const QImage image = drawn.toImage();
    bool ink = false;
    for (int y = 0; y < image.height() && !ink; ++y) {
      for (int x = 0; x < image.width() && !ink; ++x) ink = qAlpha(image.pixel(x, y)) != 0;
    }
    EXPECT_TRUE(ink) << name << " draws nothing";
    std::string upper = name;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_FALSE(IconForName(upper).isNull()) << upper;
    if (name[0] == '~') {
      EXPECT_FALSE(IconForName(name.substr(1)).isNull()) << name;
    }
  }
  EXPECT_TRUE(IconForName("").isNull());
  EXPECT_TRUE(IconForName("no such picture.ico").isNull());
}

// Any other name is a picture file, found without regard to case as every path is.
TEST(IconsTest, OtherNamesArePictureFiles) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  QImage red(8, 8, QImage::Format_ARGB32);
  red.fill(Qt::red);
  ASSERT_TRUE(red.save(dir.filePath("Poster.png")));
  const std::string exact = dir.filePath("Poster.png").toStdString();
  const std::string otherCase = dir.filePath("POSTER.PNG").toStdString();
  EXPECT_FALSE(IconForName(otherCase).isNull());
  EXPECT_FALSE(IconForName(exact).isNull());
  EXPECT_EQ(CursorForName(otherCase).shape(), Qt::BitmapCursor);
  // Two files whose names differ only in case are two pictures.
  QImage blue(8, 8, QImage::Format_ARGB32);
  blue.fill(Qt::blue);
  ASSERT_TRUE(blue.save(dir.filePath("poster.png")));
  auto colour = [](const std::string& name) {
    return IconForName(name).pixmap(8, 8).toImage().pixelColor(4, 4).name().toStdString();
  };
  EXPECT_EQ(colour(exact), "#ff0000");
  EXPECT_EQ(colour(dir.filePath("poster.png").toStdString()), "#0000ff");
}

TEST(IconsTest, CursorsByNameAndByNumber) {
  const QCursor hand = CursorForName("hand4.CUR");
  EXPECT_EQ(hand.shape(), Qt::BitmapCursor);
  EXPECT_FALSE(hand.pixmap().isNull());
  EXPECT_EQ(hand.hotSpot(), QPoint(11, 2)) << "the fingertip points";
  EXPECT_EQ(CursorForName("no such.cur").shape(), Qt::ArrowCursor);
  EXPECT_EQ(CursorForName("").shape(), Qt::ArrowCursor);
  EXPECT_EQ(CursorForId(0x7F03).shape(), Qt::WaitCursor);
  EXPECT_EQ(CursorForId(0x7F02).shape(), Qt::IBeamCursor);
  EXPECT_EQ(CursorForId(0x7F0C).shape(), Qt::PointingHandCursor);
  EXPECT_EQ(CursorForId(0x7F01).shape(), Qt::ArrowCursor);
  EXPECT_EQ(CursorForId(12345).shape(), Qt::ArrowCursor);
}

TEST(IconsTest, MsSansSerifIsTheInterfaceFontAndSmallFontsASmallerOne) {
  const QFont ui = QApplication::font();
  EXPECT_EQ(FontForName("MS Sans Serif"), ui);
  EXPECT_EQ(FontForName(""), ui);
  const QFont small = FontForName("small fonts");
  EXPECT_EQ(small.family(), ui.family());
  EXPECT_LT(small.pointSizeF(), ui.pointSizeF());
  EXPECT_GE(small.pointSizeF(), 6);
  EXPECT_EQ(FontForName("Serif").family(), "Serif");
  EXPECT_EQ(FontForName("MS Sans Serif", 14).pointSize(), 14);
}

}  // namespace
}  // namespace cinevo
