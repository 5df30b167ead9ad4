#include "app/HostEmbedding.h"

#include <QGuiApplication>
#include <QTimer>
#include <QWidget>

#ifdef _WIN32
#include "platform/NativeWindow.h"
#elif defined(PONTREL_HAVE_XCB)
#include <QtGui/qguiapplication_platform.h>
#include <cstdlib>
#include <xcb/xcb.h>
#endif

namespace pontrel::app {

std::optional<quintptr> parseHostHandle(const QString& text) {
    // Leading zeros add nothing: a host may write its handle padded to a fixed width.
    qsizetype zeros = 0;
    while (zeros < text.size() - 1 && text.at(zeros) == QLatin1Char('0'))
        ++zeros;
    if (text.isEmpty() || text.size() - zeros > 8)
        return std::nullopt;
    quintptr value = 0;
    for (QChar c : text) {
        int digit;
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            digit = c.unicode() - '0';
        else if (c >= QLatin1Char('a') && c <= QLatin1Char('f'))
            digit = c.unicode() - 'a' + 10;
        else if (c >= QLatin1Char('A') && c <= QLatin1Char('F'))
            digit = c.unicode() - 'A' + 10;
        else
            return std::nullopt;
        value = value * 16 + quintptr(digit);
    }
    return value;
}

QString notHexadecimalMessage(const QString& text) {
    return QStringLiteral("'%1' no es un número hexadecimal válido").arg(text);
}

QString noSuchWindowMessage(const QString& text) {
    return QStringLiteral("No existe ninguna ventana con el identificador hexadecimal '%1': Pontrel se abre "
                          "como ventana independiente y, al terminar, dejará el resultado para Velmora.")
        .arg(text);
}

bool hostWindowExists(quintptr handle) {
    if (handle == 0)
        return false;
#ifdef _WIN32
    return platform::nativeWindowExists(handle);
#elif defined(PONTREL_HAVE_XCB)
    // The offscreen platform has no X connection at all: asking it would crash.
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return false;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return false;
    xcb_generic_error_t* error = nullptr;
    xcb_get_geometry_reply_t* reply =
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, xcb_drawable_t(handle)), &error);
    std::free(error);
    bool exists = reply != nullptr;
    std::free(reply);
    return exists;
#else
    return false;
#endif
}

HostEmbedding::HostEmbedding(quintptr handle, QWidget* window) : QObject(window), handle_(handle) {
    window->setWindowFlags(Qt::FramelessWindowHint);
    // Qt itself makes its window the foreign window's child: on Windows it also turns the popup into a
    // WS_CHILD window (SetParent alone leaves it a popup that Windows does not draw inside the host),
    // and it keeps placing its dialogs right. The window keeps its client size at the top-left corner.
    window->winId(); // the native window must exist before it can be given a parent
    host_ = QWindow::fromWinId(WId(handle));
    window->windowHandle()->setParent(host_);
    window->move(0, 0);
    // The host may be closed or killed while the user still works in the window.
    watch_ = new QTimer(this);
    watch_->setInterval(300);
    connect(watch_, &QTimer::timeout, this, &HostEmbedding::checkHost);
    watch_->start();
}

void HostEmbedding::checkHost() {
    if (hostWindowExists(handle_))
        return;
    watch_->stop();
    emit hostGone();
}

} // namespace pontrel::app
