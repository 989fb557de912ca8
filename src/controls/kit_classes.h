#pragma once

namespace orvelle {

// Registers the kit's classes with the layout loader (idempotent), and the kit's accessibility.
// Each kit control family adds its one line `ClassRegistry::Register<T>();` here. Nobody calls
// this by hand: every program that links the kit has it run by the loader (see
// kit_registration.cpp).
void RegisterKitClasses();

}  // namespace orvelle
