#include "app/GradientPanel.h"

#include <QLinearGradient>
#include <QPainter>

namespace pontrel::app {

GradientPanel::GradientPanel(const QColor& start, const QColor& middle, const QColor& end, QWidget* parent)
    : QWidget(parent), start_(start), middle_(middle), end_(end) {}

void GradientPanel::paintEvent(QPaintEvent*) {
    // Top to bottom, the middle colour halfway.
    QLinearGradient gradient(0, 0, 0, height());
    gradient.setColorAt(0.0, start_);
    gradient.setColorAt(0.5, middle_);
    gradient.setColorAt(1.0, end_);
    QPainter painter(this);
    painter.fillRect(rect(), gradient);
}

} // namespace pontrel::app
