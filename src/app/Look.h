#pragma once
// Fonts, colours and glyphs of the windows. The windows were drawn for Windows fonts; where a named
// font is not installed the closest installed one stands in (Liberation Sans has Arial's metrics).

#include <QColor>
#include <QFont>
#include <QIcon>

namespace pontrel::app {

// The windows' own font: "MS Sans Serif" with a character height of 11 pixels.
QFont windowFont();
// Arial at `pixels`, optionally bold or underlined.
QFont arialFont(int pixels, bool bold, bool underline = false);

// The green check mark of the "OK" and "Continuar" buttons.
QIcon checkMarkIcon();

// The inactive-caption colour of the classic Windows scheme, the end colour of the frame dialog's panel.
inline QColor inactiveCaptionColour() {
    return QColor(0xBF, 0xCD, 0xDB);
}
inline QColor maroon() {
    return QColor(128, 0, 0);
}

} // namespace pontrel::app
