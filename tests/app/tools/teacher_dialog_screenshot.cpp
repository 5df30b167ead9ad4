// Draws the teacher data dialog over a small PROFT, two of whose teachers lack a key, and saves it as
// a PNG: the README's picture of the dialog. Runs offscreen.
//
//   teacher_dialog_screenshot OUTPUT.png

#include "import/WorkingTablesFixture.h"

#include "app/ControlProfes.h"

#include <QApplication>
#include <QPixmap>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "Uso: teacher_dialog_screenshot SALIDA.png\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    pontrel::testing::ScratchFolder folder;
    const auto proft = folder.path() / "PROFT.DBF";
    // Names in the tables' own code page (Windows-1252).
    const std::vector<pontrel::testing::Row> teachers{
        {{"ABREV", "AGL"},
         {"NOMBRE", "Garc\xED"
                    "a L\xF3pez, Ana"},
         {"X_EMPLEADO", "104233"},
         {"F_TOMAPOS", "01/09/2012"}},
        {{"ABREV", "JMR"}, {"NOMBRE", "Mart\xEDn Ruiz, Jos\xE9"}, {"X_EMPLEADO", ""}, {"F_TOMAPOS", ""}},
        {{"ABREV", "LPS"},
         {"NOMBRE", "P\xE9rez Sanz, Luc\xED"
                    "a"},
         {"X_EMPLEADO", "98812"},
         {"F_TOMAPOS", "15/09/2008"}},
        {{"ABREV", "MNO"}, {"NOMBRE", "Navarro Ortega, Miguel"}, {"X_EMPLEADO", "120045"}, {"F_TOMAPOS", ""}},
        {{"ABREV", "RCB"},
         {"NOMBRE", "Castro Blanco, Rosa"},
         {"X_EMPLEADO", "87310"},
         {"F_TOMAPOS", "01/09/2005"}},
    };
    pontrel::testing::writeTable(proft, pontrel::testing::proftLayout(), teachers);

    pontrel::app::TControlProfesores dialog(QString::fromStdString(proft.string()));
    dialog.show();
    QApplication::processEvents();
    if (!dialog.grab().save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "No se puede guardar %s\n", argv[1]);
        return 1;
    }
    return 0;
}
