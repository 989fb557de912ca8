#pragma once

#include "controls/drawing.h"
#include "toolkit/theme.h"

#include <QColor>
#include <QObject>

namespace orvelle {

// The base of the kit's option sets (a control's "Options", "GlowEffect", ...): a child object
// whose published properties a layout writes as a JSON object. Setters store through Store,
// which keeps an equal value silently and otherwise fires Changed; the owning control repaints
// on Changed.
//
// A set with a StyleColors switch publishes it and overrides StyleColors(); its colours are then
// drawn through Resolve, which applies the theme exactly when the switch is on.
class TscOptions : public QObject {
  Q_OBJECT
 public:
  using QObject::QObject;

  // Whether the set's colours follow the active theme; false for a set without the switch.
  virtual bool StyleColors() const { return false; }

 signals:
  void Changed();

 protected:
  // A colour of this set as drawn: through the theme when StyleColors() is on, then the alpha.
  QColor Resolve(Color color, std::uint8_t alpha = 255) const { return ResolveColor(color, StyleColors(), alpha); }

  template <class T>
  void Store(T& field, const T& value) {
    if (field == value) return;
    field = value;
    emit Changed();
  }
};

}  // namespace orvelle
