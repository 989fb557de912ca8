#include "controls/kit_classes.h"

#include "controls/accessible.h"
#include "controls/gp_button.h"
#include "controls/panel.h"
#include "toolkit/class_registry.h"

namespace orvelle {

void RegisterKitClasses() {
  InstallKitAccessibility();
  ClassRegistry::Register<TscPanel>();
  ClassRegistry::Register<TscGPButton>();
}

}  // namespace orvelle
