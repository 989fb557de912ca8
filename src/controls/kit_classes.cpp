#include "controls/kit_classes.h"

#include "controls/panel.h"
#include "toolkit/class_registry.h"

namespace orvelle {

void RegisterKitClasses() { ClassRegistry::Register<TscPanel>(); }

}  // namespace orvelle
