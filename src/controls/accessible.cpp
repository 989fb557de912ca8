#include "controls/accessible.h"

#include "controls/caption_text.h"
#include "controls/custom_control.h"

#include <QAccessible>

namespace orvelle {
namespace {

QAccessibleInterface* KitAccessibleFactory(const QString& className, QObject* object) {
  // Only for the kit's root class name, so that a factory for a more derived class wins.
  if (className != QLatin1String(TscCustomControl::staticMetaObject.className())) return nullptr;
  auto* control = qobject_cast<TscCustomControl*>(object);
  return control ? new TscAccessible(control) : nullptr;
}

}  // namespace

QString StripAccessKeyMarkers(const QString& caption) { return ResolveAccessMarkers(caption).text; }

TscAccessible::TscAccessible(TscCustomControl* control) : ContainerAccessible(control, control->AccessibleRole()) {}

TscCustomControl* TscAccessible::Control() const { return static_cast<TscCustomControl*>(widget()); }

QAccessible::Role TscAccessible::role() const { return Control()->AccessibleRole(); }

QAccessible::State TscAccessible::state() const {
  QAccessible::State state = ContainerAccessible::state();
  if (const auto checked = Control()->AccessibleChecked()) {
    state.checkable = true;
    state.checked = *checked;
  }
  if (const auto expanded = Control()->AccessibleExpanded()) {
    state.expandable = true;
    state.expanded = *expanded;
    state.collapsed = !*expanded;
  }
  // A value that assistive technology cannot set is read-only (a progress bar).
  if (Control()->AccessibleValue() && !Control()->AccessibleValueSettable()) state.readOnly = true;
  return state;
}

QStringList TscAccessible::actionNames() const {
  QStringList names = ContainerAccessible::actionNames();
  if (Control()->AccessiblePressable() && Control()->isEnabled()) names.prepend(pressAction());
  return names;
}

void TscAccessible::doAction(const QString& actionName) {
  if (actionName == pressAction() && Control()->AccessiblePressable()) {
    if (Control()->isEnabled()) Control()->AccessiblePress();
    return;
  }
  ContainerAccessible::doAction(actionName);
}

QString TscAccessible::text(QAccessible::Text t) const {
  switch (t) {
    case QAccessible::Name: {
      const QString name = Control()->AccessibleName();
      if (!name.isEmpty()) return name;
      const QString caption = Control()->AccessibleCaption();
      return Control()->LiteralCaption() ? caption : StripAccessKeyMarkers(caption);
    }
    case QAccessible::Value: {
      const QString text = Control()->AccessibleValueText();
      if (!text.isEmpty()) return text;
      const auto value = Control()->AccessibleValue();
      return value ? QString::number(value->value) : QString();
    }
    default:
      return ContainerAccessible::text(t);
  }
}

void* TscAccessible::interface_cast(QAccessible::InterfaceType type) {
  if (type == QAccessible::ValueInterface && Control()->AccessibleValue()) {
    return static_cast<QAccessibleValueInterface*>(this);
  }
  return ContainerAccessible::interface_cast(type);
}

QVariant TscAccessible::currentValue() const {
  const auto value = Control()->AccessibleValue();
  return value ? QVariant(value->value) : QVariant();
}

void TscAccessible::setCurrentValue(const QVariant& value) {
  bool number = false;
  const double wanted = value.toDouble(&number);
  if (number && Control()->AccessibleValueSettable() && Control()->isEnabled()) Control()->SetAccessibleValue(wanted);
}

QVariant TscAccessible::maximumValue() const {
  const auto value = Control()->AccessibleValue();
  return value ? QVariant(value->maximum) : QVariant();
}

QVariant TscAccessible::minimumValue() const {
  const auto value = Control()->AccessibleValue();
  return value ? QVariant(value->minimum) : QVariant();
}

QVariant TscAccessible::minimumStepSize() const { return QVariant(); }

void InstallKitAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(&KitAccessibleFactory);
    return true;
  }();
  (void)installed;
}

}  // namespace orvelle
