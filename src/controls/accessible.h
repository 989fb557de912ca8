#pragma once

#include "toolkit/accessibility.h"

#include <QAccessibleValueInterface>
#include <QString>

namespace orvelle {

class TscCustomControl;

// A caption as assistive technology reads it: "&&" shows one "&", a single "&" (the access-key
// marker) disappears.
QString StripAccessKeyMarkers(const QString& caption);

// What assistive technology sees of a kit control: the role, name, value and range the control
// states through TscCustomControl's Accessible* virtuals. A control with a value (a progress
// bar, a track bar) also answers the value interface; only a control that lets the user set its
// value (a track bar) takes a value from it. A pressable control (a button) offers the press
// action, a control that switches something on and off shows it as checkable and checked, and
// one that opens something (a panel) as expandable and expanded.
//
// A control that needs more (a drop-down listing its items) subclasses this and installs its own
// factory with QAccessible::installFactory for its class name: Qt asks the factories for the
// most derived class first, and the kit's factory answers only for TscCustomControl itself.
class TscAccessible : public ContainerAccessible, public QAccessibleValueInterface {
 public:
  explicit TscAccessible(TscCustomControl* control);

  QAccessible::Role role() const override;
  QAccessible::State state() const override;
  QString text(QAccessible::Text t) const override;
  void* interface_cast(QAccessible::InterfaceType type) override;

  QStringList actionNames() const override;
  void doAction(const QString& actionName) override;

  QVariant currentValue() const override;
  // Sets the value through the control's own setter where the user may set it; elsewhere (a
  // progress bar) nothing changes.
  void setCurrentValue(const QVariant& value) override;
  QVariant maximumValue() const override;
  QVariant minimumValue() const override;
  QVariant minimumStepSize() const override;

 protected:
  TscCustomControl* Control() const;
};

// Installs the kit's accessibility factory (once; later calls do nothing). Every kit control's
// constructor and the kit's class registration call it.
void InstallKitAccessibility();

}  // namespace orvelle
