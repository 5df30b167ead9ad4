#include "app/MessageBoxes.h"

#include <QMessageBox>
#include <QPushButton>

#include <cstdio>
#include <cstdlib>

namespace pontrel::app {
namespace {

void showBox(QWidget* parent, QMessageBox::Icon icon, const QString& text) {
    // The system's texts break their lines with "\r\n", and the import's three-line message with "\n\r":
    // either pair is one line break, not a line and an empty one.
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QStringLiteral("\n\r"), QStringLiteral("\n"));
    // Tests of the embedded program read what it said from its error output.
    if (std::getenv("PONTREL_ECHO_MESSAGES"))
        std::fprintf(stderr, "Pontrel: %s\n", shown.toUtf8().constData());

    QMessageBox box(parent);
    box.setObjectName(icon == QMessageBox::Critical ? QStringLiteral("ErrorBox")
                                                    : QStringLiteral("MessageBox"));
    box.setWindowTitle(QString::fromLatin1(kApplicationTitle));
    box.setIcon(icon);
    box.setTextFormat(Qt::PlainText);
    box.setText(shown);
    QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    box.exec();
}

} // namespace

void showPlainMessage(QWidget* parent, const QString& text) {
    showBox(parent, QMessageBox::NoIcon, text);
}

void showErrorBox(QWidget* parent, const QString& text) {
    showBox(parent, QMessageBox::Critical, text);
}

} // namespace pontrel::app
