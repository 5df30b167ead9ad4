#pragma once
// The two kinds of box the program shows: a plain message and the standard error box. Both are modal,
// captioned "Pontrel" and have one button labelled exactly "OK", whatever language Qt's own dialogs use.

#include <QString>

class QWidget;

namespace pontrel::app {

inline constexpr const char* kApplicationTitle = "Pontrel";

// A plain message (no icon). "\r\n" or "\n\r" in the text starts a new line.
void showPlainMessage(QWidget* parent, const QString& text);

// The standard error box: an error icon and the error's text.
void showErrorBox(QWidget* parent, const QString& text);

} // namespace pontrel::app
