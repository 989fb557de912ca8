#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct PreviewRun {
  int exit_code;
  QString errors;
};

PreviewRun Preview(const QStringList& arguments) {
  QProcess process;
  process.start(QStringLiteral(ORVELLE_LAYOUT_PREVIEW), arguments);
  EXPECT_TRUE(process.waitForFinished(60000)) << "layout-preview did not finish";
  return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
          QString::fromUtf8(process.readAllStandardError())};
}

// The number of distinct colours in a picture (a blank window has one).
int DistinctColours(const QImage& image) {
  QSet<QRgb> colours;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) colours.insert(image.pixel(x, y));
  }
  return static_cast<int>(colours.size());
}

class LayoutPreviewTest : public ::testing::Test {
 protected:
  QTemporaryDir out_;
};

TEST_F(LayoutPreviewTest, RendersEveryControlFamilysLayout) {
  const QDir layouts(QStringLiteral(ORVELLE_CONTROL_LAYOUTS));
  const QStringList files = layouts.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name);
  ASSERT_FALSE(files.isEmpty());
  for (const QString& file : files) {
    const QString png = out_.filePath(file + QStringLiteral(".png"));
    const PreviewRun run = Preview({layouts.filePath(file), png});
    ASSERT_EQ(run.exit_code, 0) << file.toStdString() << ": " << run.errors.toStdString();
    const QImage image(png);
    ASSERT_FALSE(image.isNull()) << file.toStdString();
    EXPECT_GT(DistinctColours(image), 2) << file.toStdString() << " renders blank";
  }
}

TEST_F(LayoutPreviewTest, SizeAndStatesChangeThePicture) {
  const QString layout = QDir(QStringLiteral(ORVELLE_CONTROL_LAYOUTS)).filePath(QStringLiteral("gp_button.json"));
  const QString plain = out_.filePath(QStringLiteral("plain.png"));
  const QString hovered = out_.filePath(QStringLiteral("hovered.png"));
  ASSERT_EQ(Preview({QStringLiteral("--size"), QStringLiteral("300x100"), layout, plain}).exit_code, 0);
  ASSERT_EQ(Preview({QStringLiteral("--size"), QStringLiteral("300x100"), QStringLiteral("--hover"),
                     QStringLiteral("btn3"), QStringLiteral("--after"), QStringLiteral("150"), layout, hovered})
                .exit_code,
            0);
  const QImage a(plain), b(hovered);
  EXPECT_EQ(a.size(), QSize(300, 100));
  ASSERT_EQ(b.size(), a.size());
  // btn3 (10, 10, 87 x 35) turns hot: its frame takes the highlight colour; the rest stays.
  EXPECT_EQ(QColor(b.pixel(10, 10)), QColor(0x35, 0xBD, 0xBB));
  EXPECT_EQ(QColor(a.pixel(10, 10)), QColor(0x1B, 0x1E, 0x23));
  EXPECT_EQ(a.pixel(150, 30), b.pixel(150, 30));
}

TEST_F(LayoutPreviewTest, APressedDropDownShowsItsOpenList) {
  const QString layout = QDir(QStringLiteral(ORVELLE_CONTROL_LAYOUTS)).filePath(QStringLiteral("combo_box.json"));
  const QString closed = out_.filePath(QStringLiteral("closed.png"));
  const QString open = out_.filePath(QStringLiteral("open.png"));
  ASSERT_EQ(Preview({layout, closed}).exit_code, 0);
  ASSERT_EQ(Preview({QStringLiteral("--press"), QStringLiteral("cbb1"), layout, open}).exit_code, 0);
  const QImage a(closed), b(open);
  EXPECT_EQ(a.size(), QSize(300, 80));
  // cbb1 (37, 18, 221 x 25) opens its 221 x 214 list below itself, past the window's bottom.
  EXPECT_EQ(b.size(), QSize(300, 18 + 25 + 214 + 6));  // and its 6-pixel shadow below it
  EXPECT_EQ(QColor(b.pixel(37, 43)), QColor(0x1B, 0x1E, 0x23));              // the list's frame
  EXPECT_GT(QColor(b.pixel(37 + 150, 43 + 5)).green(), 150);         // item 0, selected: the highlight
  EXPECT_EQ(QColor(b.pixel(100, 42)), QColor(0x35, 0xBD, 0xBB));  // the face's bar, pressed
  EXPECT_EQ(QColor(a.pixel(100, 42)), QColor(0x00, 0xFF, 0xFF));  // and normal
}

TEST_F(LayoutPreviewTest, BrokenLayoutExitsWithTheLoadersMessage) {
  const QString layout = out_.filePath(QStringLiteral("broken.json"));
  QFile file(layout);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(R"({"class": "Form", "components": [
      {"name": "b", "class": "TscGPButton", "properties": {"Options": {"ShapeStyle": "scgpHexagon"}}}]})");
  file.close();
  const PreviewRun run = Preview({layout, out_.filePath(QStringLiteral("broken.png"))});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_TRUE(run.errors.contains(QStringLiteral("Layout ") + layout)) << run.errors.toStdString();
  EXPECT_TRUE(run.errors.contains(QStringLiteral("b.Options.ShapeStyle"))) << run.errors.toStdString();
  EXPECT_FALSE(QFile::exists(out_.filePath(QStringLiteral("broken.png"))));

  const PreviewRun unknown = Preview({QStringLiteral("--hover"), QStringLiteral("nothing"),
                               QDir(QStringLiteral(ORVELLE_CONTROL_LAYOUTS)).filePath(QStringLiteral("gp_button.json")),
                               out_.filePath(QStringLiteral("x.png"))});
  EXPECT_EQ(unknown.exit_code, 1);
  EXPECT_TRUE(unknown.errors.contains(QStringLiteral("nothing")));
  EXPECT_EQ(Preview({QStringLiteral("--size"), QStringLiteral("wide"), layout, QStringLiteral("x.png")}).exit_code, 2);
}

}  // namespace
