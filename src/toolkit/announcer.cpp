#include "toolkit/announcer.h"

#include "toolkit/accessibility.h"

#include <QAccessible>

namespace orvelle {

Announcer::Announcer(QWidget* window) : QWidget(window) {
  InstallToolkitAccessibility();
  setObjectName(QStringLiteral("announcer"));
  setFocusPolicy(Qt::NoFocus);
  setAttribute(Qt::WA_TransparentForMouseEvents);
  hide();
}

void Announcer::Announce(const QString& text) {
  if (text.isEmpty()) return;
  setAccessibleName(text);
  // Appearing is what is spoken; the widget itself stays hidden.
  QAccessibleEvent shown(this, QAccessible::ObjectShow);
  QAccessible::updateAccessibility(&shown);
}

}  // namespace orvelle
