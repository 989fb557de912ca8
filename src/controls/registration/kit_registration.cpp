// Linked into every program, test and tool that links the kit (as an object file, so the linker
// cannot leave it out): hands the kit's registration to the layout loader before main runs.
#include "controls/kit_classes.h"
#include "toolkit/class_registry.h"

namespace {

[[maybe_unused]] const bool kKitRegistrarAdded = (orvelle::ClassRegistry::AddRegistrar(&orvelle::RegisterKitClasses), true);

}  // namespace
