#pragma once

#include "controls/drawing.h"

#include <QColor>
#include <QObject>

namespace orvelle {

// The base of the kit's option sets (a control's "Options", "GlowEffect", ...): a child object
// whose published properties a layout writes as a JSON object. Setters store through Store,
// which keeps an equal value silently and otherwise fires Changed; the owning control repaints
// on Changed.
class TscOptions : public QObject {
  Q_OBJECT
 public:
  using QObject::QObject;

 signals:
  void Changed();

 protected:
  template <class T>
  void Store(T& field, const T& value) {
    if (field == value) return;
    field = value;
    emit Changed();
  }
};

// A per-state colour option as it is drawn: through the theme when the set's StyleColors is on,
// then combined with the state's alpha.
inline QColor StateColor(Color color, std::uint8_t alpha, bool styleColors) {
  return GPQColor(styleColors ? GetStyleColor(color) : color, alpha);
}

}  // namespace orvelle
