#include "toolkit/push_button.h"

#include "toolkit/focus.h"
#include "toolkit/theme.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace orvelle {
namespace {

// The content area lies inside the one-pixel frame with two pixels of padding.
constexpr int kContentInset = 3;
// Gap between the image and the caption.
constexpr int kImageSpacing = 4;

}  // namespace

PushButton::PushButton(QWidget* parent) : Control(parent) {
  resize(75, 25);
  SetTabStop(true);
  setAttribute(Qt::WA_Hover);
}

void PushButton::SetCaption(const QString& caption) {
  if (caption == caption_) return;
  caption_ = caption;
  update();
}

void PushButton::SetImages(ImageList* images) {
  if (images == images_) return;
  if (images_) disconnect(images_, &ImageList::Changed, this, nullptr);
  images_ = images;
  if (images_) connect(images_, &ImageList::Changed, this, qOverload<>(&QWidget::update));
  update();
}

void PushButton::SetImageIndex(int index) {
  if (index == image_index_) return;
  image_index_ = index;
  update();
}

void PushButton::SetHotImageIndex(int index) {
  if (index == hot_image_index_) return;
  hot_image_index_ = index;
  update();
}

void PushButton::SetPressedImageIndex(int index) {
  if (index == pressed_image_index_) return;
  pressed_image_index_ = index;
  update();
}

int PushButton::CurrentImageIndex() const {
  // A disabled button may still be told that the pointer entered it; it keeps its plain image.
  if (!isEnabled()) return image_index_;
  if (Pressed() && pressed_image_index_ >= 0) return pressed_image_index_;
  if ((hot_ || Pressed()) && hot_image_index_ >= 0) return hot_image_index_;
  return image_index_;
}

void PushButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const bool enabled = isEnabled();
  const bool pressed = Pressed();
  const bool focused = ShowsFocus(this);
  QRect r = rect();
  painter.fillRect(r, ResolveColor(pressed ? clBtnShadow : clBtnFace, true));
  painter.setPen(ResolveColor((hot_ || pressed || focused) && enabled ? clHighlight : clBtnShadow, true));
  painter.drawRect(r.adjusted(0, 0, -1, -1));

  QString element = u"ButtonTextNormal"_qs;
  if (!enabled) {
    element = u"ButtonTextDisabled"_qs;
  } else if (pressed) {
    element = u"ButtonTextPressed"_qs;
  } else if (hot_) {
    element = u"ButtonTextHot"_qs;
  } else if (focused) {
    element = u"ButtonTextFocused"_qs;
  }
  Color text = GetStyleFontColor(element);
  if (text.IsNone()) text = enabled ? clBtnText : clGrayText;

  // The image sits at the left edge of the content area, vertically centred in the button; the
  // caption is centred in what remains right of it. An index of -1, one beyond the list's count,
  // or no list at all: no image, and no room taken for one.
  QRect content = rect().adjusted(kContentInset, kContentInset, -kContentInset, -kContentInset);
  const int index = CurrentImageIndex();
  if (images_ && index >= 0 && index < images_->Count()) {
    images_->Draw(painter, content.left(), (height() - images_->Height()) / 2, index, enabled);
    content.setLeft(content.left() + images_->Width() + kImageSpacing);
  }
  if (!caption_.isEmpty()) {
    painter.setPen(ResolveColor(text, true));
    painter.drawText(content, Qt::AlignCenter | Qt::TextSingleLine, caption_);
  }
}

void PushButton::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    if (focusPolicy() & Qt::ClickFocus) setFocus(Qt::MouseFocusReason);
    pressed_ = true;
    hot_ = rect().contains(event->position().toPoint());
    update();
  }
  Control::mousePressEvent(event);
}

void PushButton::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    pressed_ = false;
    update();
  }
  Control::mouseReleaseEvent(event);
}

void PushButton::mouseMoveEvent(QMouseEvent* event) {
  const bool inside = rect().contains(event->position().toPoint());
  if (inside != hot_) {
    hot_ = inside;
    update();
  }
  Control::mouseMoveEvent(event);
}

void PushButton::enterEvent(QEnterEvent* event) {
  hot_ = true;
  update();
  Control::enterEvent(event);
}

void PushButton::leaveEvent(QEvent* event) {
  hot_ = false;
  update();
  Control::leaveEvent(event);
}

void PushButton::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Space) {
    if (!event->isAutoRepeat()) {
      space_down_ = true;
      update();
    }
    return;
  }
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    Click();
    return;
  }
  Control::keyPressEvent(event);
}

void PushButton::keyReleaseEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Space && !event->isAutoRepeat() && space_down_) {
    space_down_ = false;
    update();
    Click();
    return;
  }
  Control::keyReleaseEvent(event);
}

void PushButton::focusInEvent(QFocusEvent* event) {
  Control::focusInEvent(event);
  update();
}

void PushButton::focusOutEvent(QFocusEvent* event) {
  space_down_ = false;
  Control::focusOutEvent(event);
  update();
}

void PushButton::changeEvent(QEvent* event) {
  if (event->type() == QEvent::EnabledChange) {
    hot_ = false;
    pressed_ = false;
    space_down_ = false;
    update();
  }
  Control::changeEvent(event);
}

}  // namespace orvelle
