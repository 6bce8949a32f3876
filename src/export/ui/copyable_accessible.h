#pragma once

namespace tovik {

class ScreenshotCopyActions;

// Gives the view decorated by actions (its parent) the named accessibility action
// "Copy screenshot", replacing an accessibility interface made before the decoration.
void makeCopyableAccessible(ScreenshotCopyActions* actions);

} // namespace tovik
