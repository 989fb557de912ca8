#include "toolkit/push_button.h"

#include "toolkit/theme.h"

#if __has_include("toolkit/image_list.h")
#include "toolkit/image_list.h"
#define ORVELLE_HAS_IMAGE_LIST 1
#endif

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace orvelle {

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

void PushButton::SetImages(QObject* images) {
  if (images == images_) return;
  images_ = images;
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
  if (Pressed() && pressed_image_index_ >= 0) return pressed_image_index_;
  if ((hot_ || Pressed()) && hot_image_index_ >= 0) return hot_image_index_;
  return image_index_;
}

QSize PushButton::ImageSize() const {
#ifdef ORVELLE_HAS_IMAGE_LIST
  if (const auto* list = qobject_cast<const ImageList*>(images_.data())) return QSize(list->Width(), list->Height());
#endif
  return QSize();
}

void PushButton::DrawImage(QPainter& painter, int x, int y, int index, bool enabled) const {
#ifdef ORVELLE_HAS_IMAGE_LIST
  if (const auto* list = qobject_cast<const ImageList*>(images_.data())) list->Draw(painter, x, y, index, enabled);
#else
  (void)painter, (void)x, (void)y, (void)index, (void)enabled;
#endif
}

void PushButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const bool enabled = isEnabled();
  const bool pressed = Pressed();
  const bool focused = hasFocus();
  QRect r = rect();
  painter.fillRect(r, ThemedColor(pressed ? clBtnShadow : clBtnFace));
  painter.setPen(ThemedColor((hot_ || pressed || focused) && enabled ? clHighlight : clBtnShadow));
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

  const int index = CurrentImageIndex();
  const QSize image = ImageSize();
  const bool has_image = image.isValid() && index >= 0;
  const int text_width = caption_.isEmpty() ? 0 : painter.fontMetrics().horizontalAdvance(caption_);
  const int spacing = has_image && text_width > 0 ? 4 : 0;
  const int group = (has_image ? image.width() : 0) + spacing + text_width;
  int x = (width() - group) / 2;
  if (has_image) {
    DrawImage(painter, x, (height() - image.height()) / 2, index, enabled);
    x += image.width() + spacing;
  }
  if (text_width > 0) {
    painter.setPen(ThemedColor(text));
    painter.drawText(QRect(x, 0, text_width, height()), Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, caption_);
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
