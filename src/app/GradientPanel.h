#pragma once
// The panels with a three-colour gradient background that carry the windows' controls.

#include <QColor>
#include <QWidget>

namespace pontrel::app {

class GradientPanel : public QWidget {
    Q_OBJECT
  public:
    GradientPanel(const QColor& start, const QColor& middle, const QColor& end, QWidget* parent = nullptr);

    QColor startColour() const { return start_; }
    QColor middleColour() const { return middle_; }
    QColor endColour() const { return end_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QColor start_, middle_, end_;
};

} // namespace pontrel::app
