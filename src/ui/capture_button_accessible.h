#pragma once

namespace tovik {

// Registers, once per process, the accessibility of CaptureButtonStyle: a push button whose
// name is its accessible name or text, with its tooltip as description and its accessible
// value (for toggles such as the pen) as value.
void installCaptureButtonAccessible();

} // namespace tovik
