// Pontrel's window. Started by the planner with no arguments, or by Velmora with two: the direction
// ("exportar" or "importar") and the handle of the Velmora window to live in, in hexadecimal.

#include "app/HelpAdapter.h"
#include "app/MainForm.h"
#include "app/MessageBoxes.h"
#include "app/QtSpanish.h"
#include "exchange/velmora/TableSetReplacement.h"
#include "exchange/velmora/WorkingFolder.h"
#include "platform/Memory.h"
#include "platform/Utf8Path.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    pontrel::platform::keepFreedMemoryForReuse();
    // Velmora's two arguments are counted before Qt takes its own options (-platform, -display...) out.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pontrel"));

    // Qt's own dialogs (the file dialog) speak Spanish; the program's message boxes keep their "OK".
    pontrel::app::installSpanishQtTranslations(app);

    const QString programFolder = QApplication::applicationDirPath();
    pontrel::app::HelpAdapter help(pontrel::app::makeSystemHelpViewer(), programFolder);
    help.setHelpFile(QStringLiteral("YEDRA.chm"));
    pontrel::app::installF1Help(help, &app);

    pontrel::RunSession session =
        pontrel::startSession(std::nullopt, pontrel::platform::pathFromUtf8(programFolder.toStdString()));

    // A table replacement that a killed Pontrel left half done is put right before anything else.
    try {
        if (auto line = pontrel::recoverInterruptedReplacement(session.workingFolder))
            pontrel::app::showPlainMessage(nullptr, QString::fromStdString(*line));
    } catch (const std::exception& error) {
        pontrel::app::showErrorBox(nullptr, QString::fromUtf8(error.what()));
    }

    pontrel::app::TMForm form(arguments, session, pontrel::app::Runs::standard(), &help);
    form.show();
    return app.exec();
}
