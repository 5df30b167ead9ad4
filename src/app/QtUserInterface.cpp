#include "app/QtUserInterface.h"

#include "app/ControlProfes.h"
#include "app/MessageBoxes.h"
#include "app/Plantihoras.h"
#include "dbf/Error.h"
#include "platform/Utf8Path.h"

#include <QApplication>
#include <QFileDialog>

#include <memory>

namespace pontrel::app {

QtUserInterface::~QtUserInterface() {
    if (busy_)
        QApplication::restoreOverrideCursor();
}

void QtUserInterface::stopIfAbandoned() const {
    if (abandoned_)
        throw Error("La ventana de Velmora se ha cerrado: la transformación se ha interrumpido.");
}

std::optional<std::filesystem::path> QtUserInterface::chooseDocument() {
    stopIfAbandoned();
    const int answer = fileDialog_->exec();
    stopIfAbandoned();
    if (answer != QDialog::Accepted || fileDialog_->selectedFiles().isEmpty())
        return std::nullopt;
    return platform::pathFromUtf8(fileDialog_->selectedFiles().constFirst().toStdString());
}

void QtUserInterface::showMessage(const std::string& text) {
    stopIfAbandoned();
    showPlainMessage(owner_, QString::fromUtf8(text.data(), qsizetype(text.size())));
    stopIfAbandoned();
}

FrameChoice QtUserInterface::chooseFrames(const std::filesystem::path& document,
                                          const std::vector<YedraRecord>&) {
    // The dialog reads its own copy of the document, anew each time it becomes active.
    stopIfAbandoned();
    TPlantillas dialog(document, owner_);
    dialog.exec();
    stopIfAbandoned();
    if (dialog.loadError())
        std::rethrow_exception(dialog.loadError());
    return dialog.choice();
}

void QtUserInterface::completeTeacherKeys(const std::filesystem::path& proftTable) {
    stopIfAbandoned();
    // Created for this one request and released when the user has closed it.
    auto dialog =
        std::make_unique<TControlProfesores>(QString::fromStdString(platform::utf8Of(proftTable)), owner_);
    dialog->exec();
    dialog.reset();
    stopIfAbandoned();
}

void QtUserInterface::setResultCode(int code) {
    if (keepResultCode_)
        keepResultCode_(code);
}

void QtUserInterface::setBusy(bool busy) {
    if (busy == busy_)
        return;
    busy_ = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

} // namespace pontrel::app
