#include "app/Labels.h"

#include <QPalette>

namespace pontrel::app {

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, const QRect& geometry,
                  const QFont& font, std::optional<QColor> colour, bool wrap) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(geometry);
    label->setFont(font);
    label->setWordWrap(wrap);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    if (colour) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, *colour);
        label->setPalette(palette);
    }
    return label;
}

} // namespace pontrel::app
