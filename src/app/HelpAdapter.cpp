#include "app/HelpAdapter.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QProcess>
#include <QStandardPaths>
#include <QVariant>
#include <QWidget>

#ifdef _WIN32
#include "platform/HtmlHelp.h"
#endif

namespace pontrel::app {
namespace {

#ifdef _WIN32
// HTML Help through HHCtrl.ocx (the platform layer, cross-built and tested under Wine).
class HtmlHelpViewer : public HelpViewer {
  public:
    bool showContents(const QString& chm) override {
        return platform::showHtmlHelp(chm.toStdWString(), 0, 0);
    }
    bool showContext(const QString& chm, int context) override {
        return platform::showHtmlHelp(chm.toStdWString(), static_cast<unsigned>(context), 0);
    }
};
#else
// xchm reads the context map of the help file itself ([MAP] and [ALIAS] of the project).
class XchmViewer : public HelpViewer {
  public:
    explicit XchmViewer(QString program) : program_(std::move(program)) {}
    bool showContents(const QString& chm) override { return QProcess::startDetached(program_, {chm}); }
    bool showContext(const QString& chm, int context) override {
        return QProcess::startDetached(program_, {QStringLiteral("-c"), QString::number(context), chm});
    }

  private:
    QString program_;
};
#endif

// F1 goes to the focused control of the active window, as the help system of the original windows did.
class F1Filter : public QObject {
  public:
    F1Filter(HelpAdapter& adapter, QObject* parent) : QObject(parent), adapter_(adapter) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress || static_cast<QKeyEvent*>(event)->key() != Qt::Key_F1)
            return false;
        if (!watched->isWidgetType())
            return false;
        QWidget* focus = QApplication::focusWidget();
        if (!focus)
            focus = static_cast<QWidget*>(watched);
        const int context = HelpAdapter::contextOf(focus);
        if (context != 0)
            adapter_.showContext(context);
        return true;
    }

  private:
    HelpAdapter& adapter_;
};

} // namespace

std::unique_ptr<HelpViewer> makeSystemHelpViewer() {
#ifdef _WIN32
    if (!platform::htmlHelpAvailable())
        return nullptr;
    return std::make_unique<HtmlHelpViewer>();
#else
    QString xchm = QStandardPaths::findExecutable(QStringLiteral("xchm"));
    if (xchm.isEmpty())
        return nullptr;
    return std::make_unique<XchmViewer>(xchm);
#endif
}

HelpAdapter::HelpAdapter(std::unique_ptr<HelpViewer> viewer, QString programFolder)
    : viewer_(std::move(viewer)), programFolder_(std::move(programFolder)) {}

QString HelpAdapter::resolvedHelpFile() const {
    if (!helpFile_.endsWith(QStringLiteral(".chm"), Qt::CaseInsensitive))
        return {};
    QFileInfo info(helpFile_);
    QString file = helpFile_;
    // A bare name lives beside the executable, wherever the program was started from.
    if (!helpFile_.contains(QLatin1Char('/')) && !helpFile_.contains(QLatin1Char('\\')))
        file = QDir(programFolder_).filePath(helpFile_);
    if (!QFileInfo::exists(file))
        return {};
    return QFileInfo(file).absoluteFilePath();
}

bool HelpAdapter::showContents() {
    QString file = resolvedHelpFile();
    return viewer_ && !file.isEmpty() && viewer_->showContents(file);
}

bool HelpAdapter::showContext(int context) {
    QString file = resolvedHelpFile();
    return viewer_ && !file.isEmpty() && viewer_->showContext(file, context);
}

int HelpAdapter::contextOf(const QWidget* widget) {
    for (; widget; widget = widget->parentWidget()) {
        int context = widget->property(kHelpContextProperty).toInt();
        if (context != 0)
            return context;
    }
    return 0;
}

QObject* installF1Help(HelpAdapter& adapter, QObject* application) {
    auto* filter = new F1Filter(adapter, application);
    application->installEventFilter(filter);
    return filter;
}

} // namespace pontrel::app
