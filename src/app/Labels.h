#pragma once
// The labels of the windows, laid out as the forms draw them.

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QRect>
#include <QString>

#include <optional>

namespace pontrel::app {

// A label at a fixed place, aligned top-left, in `font`; in `colour` when given (otherwise the
// palette's), word-wrapped when asked.
QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, const QRect& geometry,
                  const QFont& font, std::optional<QColor> colour = std::nullopt, bool wrap = false);

} // namespace pontrel::app
