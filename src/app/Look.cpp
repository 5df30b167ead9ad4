#include "app/Look.h"

#include <QFontDatabase>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QStringList>

namespace pontrel::app {
namespace {

QFont installedFont(const QStringList& wanted, int pixels) {
    QFont font;
    const QStringList installed = QFontDatabase::families();
    for (const QString& family : wanted) {
        if (installed.contains(family, Qt::CaseInsensitive)) {
            font.setFamily(family);
            break;
        }
    }
    font.setPixelSize(pixels);
    return font;
}

} // namespace

QFont windowFont() {
    return installedFont({"MS Sans Serif", "Microsoft Sans Serif", "Liberation Sans", "Arial", "DejaVu Sans"},
                         11);
}

QFont arialFont(int pixels, bool bold, bool underline) {
    QFont font = installedFont({"Arial", "Liberation Sans", "DejaVu Sans"}, pixels);
    font.setBold(bold);
    font.setUnderline(underline);
    return font;
}

QIcon checkMarkIcon() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(QColor(0, 128, 0), 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    QPainterPath tick;
    tick.moveTo(2.5, 8.5);
    tick.lineTo(6.5, 12.5);
    tick.lineTo(13.5, 3.5);
    painter.drawPath(tick);
    painter.end();
    return QIcon(pixmap);
}

} // namespace pontrel::app
