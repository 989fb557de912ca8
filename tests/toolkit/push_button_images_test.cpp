// The standard push button drawing the icon sets' images, and layouts that declare image lists.

#include "service/error.h"
#include "toolkit/class_registry.h"
#include "toolkit/form.h"
#include "toolkit/image_list.h"
#include "toolkit/panel.h"
#include "toolkit/push_button.h"
#include "toolkit/theme.h"

#include <QApplication>
#include <QCursor>
#include <QFile>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <execinfo.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

namespace orvelle {
namespace {

const QString kLarge = QStringLiteral(":/icons/transport_icons.imagelist");
const QString kSmall = QStringLiteral(":/icons/speaker_font_icons.imagelist");

// Checks that `grab` shows `image` with its top-left corner at `origin`, blended over `ground`:
// opaque image pixels exactly, transparent ones as the ground, the anti-aliased edge as the
// premultiplied image over the ground (to within rounding); and the ground just outside the cell.
void ExpectImageAt(const QImage& grab, const QImage& image, QPoint origin, QRgb ground) {
  ASSERT_FALSE(image.isNull());
  int opaque = 0;
  int wrong = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QRgb source = image.pixel(x, y);  // premultiplied
      const QRgb seen = grab.pixel(origin.x() + x, origin.y() + y);
      const int alpha = qAlpha(source);
      bool ok;
      if (alpha == 255) {
        ++opaque;
        ok = (seen & 0xFFFFFFu) == (source & 0xFFFFFFu);
      } else if (alpha == 0) {
        ok = (seen & 0xFFFFFFu) == (ground & 0xFFFFFFu);
      } else {
        auto blend = [&](int s, int g) { return s + g * (255 - alpha) / 255.0; };
        ok = std::abs(qRed(seen) - blend(qRed(source), qRed(ground))) <= 1.5 &&
             std::abs(qGreen(seen) - blend(qGreen(source), qGreen(ground))) <= 1.5 &&
             std::abs(qBlue(seen) - blend(qBlue(source), qBlue(ground))) <= 1.5;
      }
      if (!ok && ++wrong <= 3) {
        ADD_FAILURE() << "pixel " << x << "," << y << " of the image: seen " << std::hex << seen << ", image "
                      << source << ", ground " << ground;
      }
    }
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_GT(opaque, 0);
  for (const QPoint outside : {origin + QPoint(-1, -1), origin + QPoint(image.width(), image.height())}) {
    EXPECT_EQ(grab.pixel(outside) & 0xFFFFFFu, ground & 0xFFFFFFu) << outside.x() << "," << outside.y();
  }
}

// Shows the window with the pointer outside it, so that no control starts hot.
void ShowAwayFromThePointer(QWidget& window) {
  QCursor::setPos(window.screen()->geometry().bottomRight());
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
}

// The image's place in a button of `size`: at the left of the content area, three pixels inside
// the edge (the frame and its padding), vertically centred with the half rounded down.
QPoint Placed(QSize size, const ImageList& list) { return QPoint(3, (size.height() - list.Height()) / 2); }

class PushButtonImages : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(TrySetStyle(QStringLiteral("Glow")));
    Prepare(form_);
  }
  // A 300 x 120 window; its bottom-right corner is where the pointer rests away from the buttons.
  static void Prepare(Form& form) {
    form.SetClientWidth(300);
    form.SetClientHeight(120);
  }
  void TearDown() override { ClearStyle(); }

  static PushButton* NewButton(QWidget* parent, ImageList* list, QSize size, int image, int hot) {
    auto* button = new PushButton(parent);
    button->SetBounds(0, 0, size.width(), size.height());
    button->SetTabStop(false);  // the window would focus it, which changes the frame only
    button->SetImages(list);
    button->SetImageIndex(image);
    button->SetHotImageIndex(hot);
    return button;
  }
  void Show() { ShowAwayFromThePointer(form_); }
  // The pointer moves from the window's free corner onto the button, or back off it.
  void PointerOver(PushButton* button) {
    QTest::mouseMove(&form_, QPoint(299, 119));
    QTest::mouseMove(button, QPoint(button->width() / 2, button->height() / 2));
  }
  void PointerAway() { QTest::mouseMove(&form_, QPoint(299, 119)); }
  // The face's colour away from the frame and the image.
  static QRgb Ground(const QImage& grab) { return grab.pixel(grab.width() - 4, 3); }

  Form form_;
};

TEST_F(PushButtonImages, NormalImageAndHotImageUnderThePointer) {
  ImageList large;
  large.SetSource(kLarge);
  ImageList small;
  small.SetSource(kSmall);
  struct Case {
    const char* name;
    ImageList* list;
    QSize size;
    int image, hot;
    int shown_hot;  // the image expected under the pointer
    const char* caption;
  };
  const Case cases[] = {
      {"btn1: right arrow, light when hot", &large, QSize(230, 41), 8, 9, 9, ""},
      {"font larger from the small set", &small, QSize(49, 35), 4, 5, 5, ""},
      {"no hot image: the normal one in every state", &large, QSize(60, 30), 10, -1, 10, ""},
      {"a caption beside the image leaves it whole", &large, QSize(120, 35), 0, 1, 1, "Next"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Form form;
    Prepare(form);
    PushButton* button = NewButton(&form, c.list, c.size, c.image, c.hot);
    button->SetCaption(QString::fromLatin1(c.caption));
    ShowAwayFromThePointer(form);
    const QPoint origin = Placed(c.size, *c.list);

    ASSERT_FALSE(button->Hot());
    QImage grab = button->grab().toImage();
    ExpectImageAt(grab, c.list->Image(c.image), origin, Ground(grab));
    if (*c.caption) {
      // The caption's pixels lie right of the image.
      int text = 0;
      for (int y = 3; y < c.size.height() - 3; ++y) {
        for (int x = origin.x() + c.list->Width(); x < c.size.width() - 3; ++x) text += grab.pixel(x, y) != Ground(grab);
      }
      EXPECT_GT(text, 0);
    }

    QTest::mouseMove(&form, QPoint(299, 119));
    QTest::mouseMove(button, QPoint(c.size.width() / 2, 2));
    ASSERT_TRUE(button->Hot());
    grab = button->grab().toImage();
    ExpectImageAt(grab, c.list->Image(c.shown_hot), origin, Ground(grab));

    QTest::mouseMove(&form, QPoint(299, 119));
    ASSERT_FALSE(button->Hot());
    grab = button->grab().toImage();
    ExpectImageAt(grab, c.list->Image(c.image), origin, Ground(grab));
  }
}

TEST_F(PushButtonImages, PressedShowsTheHotImageAndFollowsTheIndexesSetAtRunTime) {
  ImageList large;
  large.SetSource(kLarge);
  PushButton* button = NewButton(&form_, &large, QSize(87, 35), 2, 3);
  Show();
  const QPoint origin = Placed(button->size(), large);
  PointerOver(button);
  QTest::mousePress(button, Qt::LeftButton, {}, QPoint(40, 17));
  QImage grab = button->grab().toImage();
  ExpectImageAt(grab, large.Image(3), origin, Ground(grab));
  QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(40, 17));

  // The pair swapped while the pointer is over the button, as play and pause do.
  button->SetImageIndex(11);
  button->SetHotImageIndex(12);
  grab = button->grab().toImage();
  ExpectImageAt(grab, large.Image(12), origin, Ground(grab));
  PointerAway();
  grab = button->grab().toImage();
  ExpectImageAt(grab, large.Image(11), origin, Ground(grab));
}

TEST_F(PushButtonImages, IndexOutsideTheListOrNoListDrawsNoImage) {
  ImageList large;
  large.SetSource(kLarge);
  PushButton* reference = NewButton(&form_, &large, QSize(60, 30), -1, -1);
  Show();
  const QImage blank = reference->grab().toImage();
  for (const int index : {-1, 13, 16, 1000}) {
    reference->SetImageIndex(index);
    EXPECT_TRUE(reference->grab().toImage() == blank) << "index " << index;
  }
  reference->SetImageIndex(0);
  EXPECT_FALSE(reference->grab().toImage() == blank);
  reference->SetImages(nullptr);
  EXPECT_TRUE(reference->grab().toImage() == blank);

  // A list destroyed under the button leaves it without images.
  auto list = std::make_unique<ImageList>();
  list->SetSource(kLarge);
  reference->SetImages(list.get());
  EXPECT_FALSE(reference->grab().toImage() == blank);
  list.reset();
  EXPECT_EQ(reference->Images(), nullptr);
  EXPECT_TRUE(reference->grab().toImage() == blank);
}

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
 public:
  explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
  int paints = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

TEST_F(PushButtonImages, ImagesLoadedLaterShowWithoutAnotherWrite) {
  ImageList list;
  PushButton* button = NewButton(&form_, &list, QSize(230, 41), 8, 9);
  Show();
  QApplication::processEvents();
  PaintCounter counter(button);
  list.SetSource(kLarge);
  QApplication::processEvents();
  EXPECT_GE(counter.paints, 1) << "the button repaints when its list's content changes";
  const QImage grab = button->grab().toImage();
  ExpectImageAt(grab, list.Image(8), Placed(button->size(), list), Ground(grab));
}

// The image's pixels dimmed: transparent ones stay the ground, and every opaque one lies strictly
// between the ground and the image's own colour (less contrast than the enabled image).
void ExpectDimmedAt(const QImage& grab, const QImage& image, QPoint origin, QRgb ground) {
  int opaque = 0;
  int wrong = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QRgb source = image.pixel(x, y);
      const QRgb seen = grab.pixel(origin.x() + x, origin.y() + y);
      bool ok = true;
      if (qAlpha(source) == 0) {
        ok = (seen & 0xFFFFFFu) == (ground & 0xFFFFFFu);
      } else if (qAlpha(source) == 255) {
        ++opaque;
        const int low = std::min(qGray(source), qGray(ground));
        const int high = std::max(qGray(source), qGray(ground));
        ok = qGray(seen) > low && qGray(seen) < high;
      }
      if (!ok && ++wrong <= 3) {
        ADD_FAILURE() << "pixel " << x << "," << y << ": seen " << std::hex << seen << ", image " << source
                      << ", ground " << ground;
      }
    }
  }
  EXPECT_GT(opaque, 0);
  EXPECT_EQ(wrong, 0);
}

TEST_F(PushButtonImages, DisabledDrawsTheNormalImageDimmedEvenUnderThePointer) {
  ImageList large;
  large.SetSource(kLarge);
  // Disabled itself, or inside a disabled parent as the closed side panel holds its top button.
  for (const bool through_parent : {false, true}) {
    SCOPED_TRACE(through_parent ? "parent disabled" : "button disabled");
    Form form;
    Prepare(form);
    auto* side = new Panel(&form);
    side->SetBounds(0, 0, 240, 60);
    PushButton* button = NewButton(side, &large, QSize(230, 41), 8, 9);
    ShowAwayFromThePointer(form);
    const QImage enabled = button->grab().toImage();
    if (through_parent) {
      side->SetEnabled(false);
    } else {
      button->SetEnabled(false);
    }
    ASSERT_FALSE(button->isEnabled());
    const QPoint origin = Placed(button->size(), large);
    const QImage disabled = button->grab().toImage();
    EXPECT_FALSE(disabled == enabled);
    ExpectDimmedAt(disabled, large.Image(8), origin, Ground(disabled));

    // The pointer entering a disabled button changes nothing: no hot image.
    QTest::mouseMove(&form, QPoint(299, 119));
    const QPoint middle(button->width() / 2, button->height() / 2);
    QTest::mouseMove(&form, button->mapTo(&form, middle));
    QEnterEvent enter(QPointF(middle), QPointF(button->mapTo(&form, middle)), QPointF(button->mapToGlobal(middle)));
    QApplication::sendEvent(button, &enter);
    EXPECT_EQ(button->CurrentImageIndex(), 8);
    EXPECT_TRUE(button->grab().toImage() == disabled);

    // Enabled again, it draws the plain image as before.
    if (through_parent) {
      side->SetEnabled(true);
    } else {
      button->SetEnabled(true);
    }
    QTest::mouseMove(&form, QPoint(299, 119));
    const QImage again = button->grab().toImage();
    ExpectImageAt(again, large.Image(8), origin, Ground(again));
  }
}

// ---------------------------------------------------------------------------------------------
// Layouts that declare image lists.

class ImageForm : public Form {
  Q_OBJECT
  Q_PROPERTY(orvelle::ImageList* il2 MEMBER il2)
  Q_PROPERTY(orvelle::PushButton* btn1 MEMBER btn1)
 public:
  ImageList* il2 = nullptr;
  PushButton* btn1 = nullptr;
};

// The list is declared after the button that names it, as the window's components without a
// window follow its controls. Two controls lie over the middle of the button's strip, as the
// lyrics font buttons do, and leave its image in sight.
const char* kImageLayout = R"({
  "class": "ImageForm", "name": "Form1",
  "properties": { "ClientWidth": 300, "ClientHeight": 120, "Color": "clBtnFace" },
  "components": [
    { "name": "side", "class": "Panel", "properties": { "Left": 40, "Width": 230, "Height": 120, "BevelOuter": "bvNone" },
      "components": [
        { "name": "btn1", "class": "PushButton",
          "properties": { "Align": "alTop", "Height": 41, "TabStop": false,
                          "Images": "il2", "ImageIndex": 8, "HotImageIndex": 9 } },
        { "name": "btn7", "class": "Panel", "properties": { "Left": 64, "Top": 3, "Width": 49, "Height": 35 } },
        { "name": "btn8", "class": "Panel", "properties": { "Left": 117, "Top": 3, "Width": 49, "Height": 35 } } ] },
    { "name": "il2", "class": "ImageList",
      "properties": { "Width": 24, "Height": 24, "Source": ":/icons/transport_icons.imagelist" } }
  ] })";

TEST_F(PushButtonImages, LayoutDeclaresTheListAndTheButtonNamesIt) {
  ImageForm form;
  form.LoadFromJson(QByteArray(kImageLayout), QStringLiteral("images.json"));
  ASSERT_TRUE(form.il2);
  ASSERT_TRUE(form.btn1);
  EXPECT_EQ(form.il2->Count(), 13);
  EXPECT_EQ(form.il2->Source(), kLarge);
  EXPECT_EQ(form.il2->parent(), &form);
  EXPECT_EQ(form.btn1->Images(), form.il2);
  EXPECT_EQ(form.btn1->size(), QSize(230, 41));

  ShowAwayFromThePointer(form);
  const QPoint origin = Placed(form.btn1->size(), *form.il2);
  // Drawn as part of the window, not only when grabbed on its own.
  QImage grab = form.grab().toImage().copy(QRect(form.btn1->mapTo(&form, QPoint()), form.btn1->size()));
  ExpectImageAt(grab, form.il2->Image(8), origin, Ground(grab));

  QTest::mouseMove(&form, QPoint(10, 110));
  QTest::mouseMove(form.btn1, QPoint(115, 20));
  grab = form.btn1->grab().toImage();
  ExpectImageAt(grab, form.il2->Image(9), origin, Ground(grab));
}

// An image list whose setter records whether Qt's own frames lie between the loader and the
// setter, then loads its source as Source does.
class StackProbeList : public ImageList {
  Q_OBJECT
  Q_PROPERTY(QString ProbedSource READ Source WRITE SetProbedSource)
 public:
  using ImageList::ImageList;
  void SetProbedSource(const QString& path) {
    qt_frames_at_write = QtFramesOnStack();
    SetSource(path);
  }

  // Frames of the current call stack that lie in one of Qt's libraries.
  static int QtFramesOnStack() {
    void* frames[256];
    const int count = backtrace(frames, 256);
    int qt = 0;
    for (int i = 0; i < count; ++i) {
      Dl_info info;
      if (dladdr(frames[i], &info) && info.dli_fname && std::strstr(info.dli_fname, "libQt6")) ++qt;
    }
    return qt;
  }

  static inline int qt_frames_at_write = -1;
};

TEST(ImageListLayout, MissingOrMalformedSourceFailsTheLoadClearly) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  QFile stored(kLarge);
  ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
  const QByteArray stream = stored.readAll();
  const auto write = [&](const QString& name, const QByteArray& bytes) {
    QFile file(dir.filePath(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return file.fileName();
  };
  const QString truncated = write(QStringLiteral("truncated.imagelist"), stream.left(stream.size() / 2));
  QByteArray wrong_magic = stream;
  wrong_magic[0] = 'X';
  const QString not_a_list = write(QStringLiteral("magic.imagelist"), wrong_magic);

  struct Case {
    QString source;
    QString message;
  };
  const Case cases[] = {
      {QStringLiteral(":/icons/missing.imagelist"),
       QStringLiteral("Layout bad.json: il9.Source: Cannot read the image list \":/icons/missing.imagelist\"")},
      {dir.filePath(QStringLiteral("absent.imagelist")), QStringLiteral("il9.Source: Cannot read the image list")},
      {truncated, QStringLiteral("Layout bad.json: il9.Source: Invalid image list stream: the stream ends inside")},
      {not_a_list, QStringLiteral("Layout bad.json: il9.Source: Invalid image list stream: it does not start with \"IL\"")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source.toStdString());
    const QByteArray json = QStringLiteral(R"({"components": [
        {"name": "btn1", "class": "PushButton", "properties": {"Images": "il9", "ImageIndex": 8}},
        {"name": "il9", "class": "ImageList", "properties": {"Source": "%1"}}]})")
                                .arg(c.source)
                                .toUtf8();
    Form form;
    try {
      form.LoadFromJson(json, QStringLiteral("bad.json"));
      ADD_FAILURE() << "no error";
    } catch (const Error& e) {
      EXPECT_TRUE(e.Message().startsWith(QStringLiteral("Layout bad.json: "))) << e.Message().toStdString();
      EXPECT_TRUE(e.Message().contains(c.message)) << e.Message().toStdString();
    }
  }

  // A component of another class named as the image list.
  Form form;
  try {
    form.LoadFromJson(R"({"components": [
        {"name": "btn1", "class": "PushButton", "properties": {"Images": "side"}},
        {"name": "side", "class": "Panel"}]})",
                      QStringLiteral("bad.json"));
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_TRUE(e.Message().contains(QStringLiteral("btn1.Images: 'side' is not a ImageList"))) << e.Message().toStdString();
  }
}

TEST(ImageListLayout, ASetterErrorReachesTheLoaderWithoutPassingThroughQt) {
  ClassRegistry::Register<StackProbeList>();
  const int baseline = StackProbeList::QtFramesOnStack();
  Form form;
  try {
    form.LoadFromJson(R"({"components": [
        {"name": "il9", "class": "StackProbeList", "properties": {"ProbedSource": ":/icons/missing.imagelist"}}]})",
                      QStringLiteral("probe.json"));
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.Message(),
              QStringLiteral("Layout probe.json: il9.ProbedSource: Cannot read the image list \":/icons/missing.imagelist\""));
  }
  ASSERT_GE(StackProbeList::qt_frames_at_write, 0) << "the setter did not run";
  // The setter ran with no more of Qt's frames on the stack than the test itself has: the error
  // it threw unwound through the loader's code only.
  EXPECT_EQ(StackProbeList::qt_frames_at_write, baseline);
}

}  // namespace
}  // namespace orvelle

#include "push_button_images_test.moc"
