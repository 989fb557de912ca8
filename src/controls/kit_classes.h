#pragma once

namespace orvelle {

// Registers the kit's classes with the layout loader (idempotent). Each kit control adds its
// line here.
void RegisterKitClasses();

}  // namespace orvelle
