#pragma once
// Answers the modal windows that appear while a test drives a window: every message box is recorded
// and its first button pressed; other modal dialogs go to a handler of the test. A modal window the
// test does not expect is rejected, so a failing test never hangs in a dialog's loop.

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QTimer>

#include <functional>
#include <vector>

namespace pontrel::testing {

struct SeenBox {
    QString title;
    QString text;
    QStringList buttons;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

class ModalBoxes : public QObject {
  public:
    // Gets each modal dialog that is not a message box; returns false to have it rejected.
    std::function<bool(QDialog*)> onDialog;
    std::vector<SeenBox> boxes;
    int unexpected = 0;

    ModalBoxes() {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] { poll(); });
        timer_.start();
    }

    QStringList texts() const {
        QStringList all;
        for (const auto& box : boxes)
            all << box.text;
        return all;
    }

  private:
    void poll() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            SeenBox seen{box->windowTitle(), box->text(), {}, box->icon()};
            for (QAbstractButton* button : box->buttons())
                seen.buttons << button->text();
            boxes.push_back(seen);
            box->buttons().constFirst()->click();
            return;
        }
        auto* dialog = qobject_cast<QDialog*>(modal);
        if (!dialog)
            return;
        if (!onDialog || !onDialog(dialog)) {
            ++unexpected;
            dialog->reject();
        }
    }

    QTimer timer_;
};

} // namespace pontrel::testing
