#include "controls/kit_classes.h"

#include "controls/accessible.h"
#include "controls/panel.h"
#include "toolkit/class_registry.h"

namespace orvelle {

void RegisterKitClasses() {
  InstallKitAccessibility();
  ClassRegistry::Register<TscPanel>();
}

}  // namespace orvelle
