#include "app/MainForm.h"

#include "app/GradientPanel.h"
#include "app/HelpAdapter.h"
#include "app/HostEmbedding.h"
#include "app/IniResultFile.h"
#include "app/KeyboardButton.h"
#include "app/Labels.h"
#include "app/Look.h"
#include "app/MessageBoxes.h"
#include "export/ExportRun.h"
#include "import/ImportRun.h"
#include "platform/TerminationRequest.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTimer>

namespace pontrel::app {

Runs Runs::standard() {
    return Runs{
        [](RunSession& session, UserInterface& ui) { return exporting::ExportRun(session, ui).run(); },
        [](RunSession& session, UserInterface& ui) { return importing::ImportRun(session, ui).run(); },
    };
}

namespace {

constexpr int kClientWidth = 632;
constexpr int kClientHeight = 266;
constexpr const char* kResultFile = "Velmora.ini";
constexpr const char* kResultSection = "Transformadores";
constexpr const char* kResultKey = "Transformado";

// The direction words are compared after turning only the letters A to Z into lower case.
QString lowerAsciiOnly(const QString& text) {
    QString lower = text;
    for (QChar& c : lower)
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + ('a' - 'A'));
    return lower;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QIcon& icon, const QString& caption,
                        const QRect& geometry) {
    auto* button = new KeyboardPushButton(icon, caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(geometry);
    button->setProperty(kHelpContextProperty, kMainWindowHelpContext);
    return button;
}

GradientPanel* makePanel(QWidget* parent, const char* name, const QColor (&colours)[3],
                         const QRect& geometry) {
    auto* panel = new GradientPanel(colours[0], colours[1], colours[2], parent);
    panel->setObjectName(QString::fromLatin1(name));
    panel->setGeometry(geometry);
    panel->setProperty(kHelpContextProperty, kMainWindowHelpContext);
    return panel;
}

// The panel of one direction: its title above its "OK" button, in the same place on both panels.
QPushButton* makeDirectionPanel(QWidget* window, const char* name, const QRect& geometry,
                                const char* labelName, const QString& title, const QRect& titleGeometry,
                                const char* buttonName) {
    const QColor colours[3] = {QColor(0xF9, 0xD3, 0x7D), Qt::white, QColor(0xFF, 0xEE, 0xDD)};
    GradientPanel* panel = makePanel(window, name, colours, geometry);
    makeLabel(panel, labelName, title, titleGeometry, arialFont(16, true), QColor(Qt::black), true);
    return makeButton(panel, buttonName, checkMarkIcon(), QStringLiteral("OK"), QRect(96, 120, 89, 25));
}

} // namespace

TMForm::TMForm(QStringList arguments, RunSession session, Runs runs, HelpAdapter* help, QWidget* parent)
    : QWidget(parent), arguments_(std::move(arguments)), session_(std::move(session)), runs_(std::move(runs)),
      help_(help) {
    endProgram_ = [] { QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); }); };
    buildWindow();
    ui_ = std::make_unique<QtUserInterface>(this, openDialogXML_);
    // The runs set the code at the step it belongs to; it is kept at once, so a close that comes while
    // their last message is still open already leaves it.
    ui_->onResultCode([this](int code) {
        resultCode_ = code;
        // Also in the file at once: a program killed after this point leaves what really happened.
        if (session_.hostReadsResult)
            writeResult(ResultFailure::Ignored);
    });
    FormCreate();
}

TMForm::~TMForm() = default;

void TMForm::buildWindow() {
    setObjectName(QStringLiteral("MForm"));
    setWindowTitle(QStringLiteral("Exportar e importar datos entre Velmora y Yedra"));
    // A fixed dialog frame: no resizing, no minimise or maximise box.
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(kClientWidth, kClientHeight);
    setFont(windowFont());
    setProperty(kHelpContextProperty, kMainWindowHelpContext);

    bExportar_ = makeDirectionPanel(this, "Draw3D2", QRect(1, 0, 315, 169), "Label3",
                                    QStringLiteral("Transformar datos desde Yedra hacia Velmora "),
                                    QRect(24, 24, 265, 57), "BExportar");
    bImportar_ = makeDirectionPanel(this, "Draw3D3", QRect(316, 0, 317, 169), "Label4",
                                    QStringLiteral("Transformar datos desde Velmora hacia Yedra"),
                                    QRect(8, 24, 305, 57), "BImportar");

    // The bottom strip is drawn over the panels' last pixel row, as laid out.
    const QColor stripColours[3] = {QColor(0xC2, 0xCD, 0xFE), QColor(0xCF, 0xF2, 0xFE),
                                    QColor(0xCC, 0xD8, 0xE6)};
    GradientPanel* draw3D1 = makePanel(this, "Draw3D1", stripColours, QRect(0, 168, 633, 97));
    QFont versionFont = windowFont();
    versionFont.setBold(true);
    makeLabel(draw3D1, "Label1", QStringLiteral("Pontrel para RT48 V-1.0"), QRect(8, 72, 217, 13),
              versionFont, QColor(Qt::red), false);
    bClose_ = makeButton(draw3D1, "BClose", style()->standardIcon(QStyle::SP_DialogCloseButton),
                         QStringLiteral("&Salir"), QRect(256, 32, 89, 25));
    button1_ = makeButton(draw3D1, "Button1", QIcon(), QStringLiteral("F1 Ayuda"), QRect(264, 64, 75, 25));

    openDialogXML_ = new QFileDialog(this, QStringLiteral("Archivo XML"));
    openDialogXML_->setObjectName(QStringLiteral("OpenDialogXML"));
    openDialogXML_->setOption(QFileDialog::DontUseNativeDialog);
    openDialogXML_->setAcceptMode(QFileDialog::AcceptOpen);
    // Any name may be typed: a document that does not exist is the run's "No existe archivo".
    openDialogXML_->setFileMode(QFileDialog::AnyFile);
    openDialogXML_->setNameFilter(QStringLiteral("*.xml"));
    openDialogXML_->setDefaultSuffix(QStringLiteral("xml"));

    connect(bExportar_, &QPushButton::clicked, this, &TMForm::BExportarClick);
    connect(bImportar_, &QPushButton::clicked, this, &TMForm::BImportarClick);
    connect(bClose_, &QPushButton::clicked, this, &TMForm::closeMainWindow);
    connect(button1_, &QPushButton::clicked, this, &TMForm::Button1Click);
}

void TMForm::FormCreate() {
    resultCode_ = 0;
    session_.hostReadsResult = false;
    if (arguments_.size() != 2) {
        if (QScreen* screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - QPoint(kClientWidth / 2, kClientHeight / 2));
        return;
    }
    const QString handleText = arguments_.at(1);
    const std::optional<quintptr> handle = parseHostHandle(handleText);
    // A well-formed handle says that Velmora started the program and will read the result, even when it
    // names no window; a handle that is not a number does not.
    session_.hostReadsResult = handle.has_value();
    if (session_.hostReadsResult) {
        // An earlier run's 1 must not be read as this run's: 0 until a run completes, also when the
        // program is killed. A request to end (SIGTERM, the session ending) leaves the code reached.
        writeResult(ResultFailure::Shown);
        terminationWatch_ =
            std::make_unique<platform::TerminationWatch>([this] { writeResult(ResultFailure::Ignored); });
    }
    QString problem;
    if (!handle)
        problem = notHexadecimalMessage(handleText);
    else if (!hostWindowExists(*handle))
        problem = noSuchWindowMessage(handleText);
    if (!problem.isEmpty()) {
        // The window goes on as an ordinary one; its direction still runs when it is shown. With a
        // well-formed handle Velmora waits for the result: the window then ends as an embedded one does.
        showErrorBox(nullptr, problem);
        if (QScreen* screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - QPoint(kClientWidth / 2, kClientHeight / 2));
        embedded_ = session_.hostReadsResult;
        return;
    }
    embedding_ = new HostEmbedding(*handle, this);
    connect(embedding_, &HostEmbedding::hostGone, this, &TMForm::closeMainWindow);
    embedded_ = true;
}

void TMForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (shownOnce_)
        return;
    shownOnce_ = true;
    FormShow();
}

void TMForm::FormShow() {
    // Counts the arguments itself: a bad handle leaves the window standalone, yet the direction runs.
    if (arguments_.size() != 2)
        return;
    const QString direction = lowerAsciiOnly(arguments_.at(0));
    if (direction == QLatin1String("importar"))
        BImportarClick();
    if (direction == QLatin1String("exportar"))
        BExportarClick();
}

void TMForm::BExportarClick() {
    runDirection(runs_.exportRun);
}

void TMForm::BImportarClick() {
    runDirection(runs_.importRun);
}

void TMForm::runDirection(const RunFunction& run) {
    if (!run || closed_)
        return;
    RunOutcome outcome;
    running_ = true;
    try {
        outcome = run(session_, *ui_);
    } catch (const std::exception& error) {
        // The run stops where it failed; result code, buttons and window stay as they are.
        running_ = false;
        ui_->setBusy(false);
        if (!closed_)
            showErrorBox(this, QString::fromUtf8(error.what()));
        return;
    } catch (...) {
        running_ = false;
        ui_->setBusy(false);
        if (!closed_)
            showErrorBox(this, QStringLiteral("Error inesperado: la transformación se ha detenido."));
        return;
    }
    running_ = false;
    ui_->setBusy(false);
    if (!closed_)
        applyOutcome(outcome);
}

void TMForm::applyOutcome(RunOutcome outcome) {
    bool close = false;
    switch (outcome) {
    case RunOutcome::Completed:
        // The run has set the result code itself, before its last message.
        bExportar_->setEnabled(false);
        bImportar_->setEnabled(false);
        close = embedded_;
        break;
    case RunOutcome::DocumentMissing:
        close = embedded_;
        break;
    case RunOutcome::TeacherDataMissing:
        close = true;
        break;
    case RunOutcome::Stopped:
        break;
    }
    // Queued: the run may have been started while the window was first being shown.
    if (close)
        QTimer::singleShot(0, this, &TMForm::closeMainWindow);
}

void TMForm::Button1Click() {
    if (!help_)
        return;
    help_->setHelpFile(QStringLiteral("YEDRA.chm"));
    help_->showContents();
}

void TMForm::closeMainWindow() {
    if (closed_)
        return;
    if (!embedded_) {
        close();
        return;
    }
    // An embedded window refuses to close: do what closing does, then end the program.
    closed_ = true;
    FormClose();
    if (running_) {
        // Velmora's window went away under a run: its open dialogs are dismissed and its next question
        // fails, so it stops as after an error and nothing carries on without a window.
        ui_->abandon();
        for (QWidget* window : QApplication::topLevelWidgets())
            if (auto* dialog = qobject_cast<QDialog*>(window); dialog && dialog->isVisible())
                dialog->done(QDialog::Rejected);
    }
    hide();
    endProgram_();
}

void TMForm::closeEvent(QCloseEvent* event) {
    if (!closed_) {
        closed_ = true;
        FormClose();
        endProgram_();
    }
    event->accept();
}

void TMForm::FormClose() {
    // Embedded, or started by Velmora with a handle that named no window.
    if (session_.hostReadsResult)
        writeResult(ResultFailure::Shown);
}

void TMForm::writeResult(ResultFailure failure) {
    try {
        writeIniValue(session_.programFolder / kResultFile, kResultSection, kResultKey, resultCode_);
    } catch (const std::exception& error) {
        if (failure == ResultFailure::Shown)
            showErrorBox(isVisible() ? this : nullptr, QString::fromUtf8(error.what()));
    }
}

} // namespace pontrel::app
