#include "export/render_error.h"

namespace tovik {

QString message(RenderError error) {
    switch (error) {
    case RenderError::allocation:
        return QStringLiteral("Could not allocate the screenshot image.");
    case RenderError::crop:
        return QStringLiteral("The selected region could not be cropped.");
    case RenderError::encode:
        return QStringLiteral("Could not encode the PNG image.");
    case RenderError::empty:
        return QStringLiteral("Add a capture before exporting.");
    case RenderError::sheetTooLarge:
        return QStringLiteral("This session is too large for one readable contact sheet. "
                              "Copy the individual files instead.");
    }
    return {};
}

} // namespace tovik
