#pragma once
// Qt's own dialogs (the file dialog, standard buttons) in Spanish. The program's message boxes set
// their single "OK" button themselves, so the translation does not reach them.

class QCoreApplication;

namespace pontrel::app {

// Installs Qt's Spanish translation on `app`; false when it is not installed on this system.
bool installSpanishQtTranslations(QCoreApplication& app);

} // namespace pontrel::app
