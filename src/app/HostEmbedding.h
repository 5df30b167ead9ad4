#pragma once
// Velmora's window that the main window goes into when Velmora starts the program: reading its handle
// from the command line, checking that it exists, embedding, and noticing when it goes away.

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWindow>

#include <optional>

class QTimer;
class QWidget;

namespace pontrel::app {

// The handle written in hexadecimal digits without prefix, as a number; nullopt when the text is not
// a hexadecimal number of at most 32 bits.
std::optional<quintptr> parseHostHandle(const QString& text);

// "'XYZ' no es un número hexadecimal válido"
QString notHexadecimalMessage(const QString& text);
// The message for a well-formed handle that names no window.
QString noSuchWindowMessage(const QString& text);

// Whether a window with this handle exists. Only X11 (and Windows) can tell; other platforms, such as
// the offscreen one of the tests, have no foreign windows and answer false.
bool hostWindowExists(quintptr handle);

// Makes `window` a borderless child of the host at its top-left corner, keeping its size, and watches
// the host: when it disappears, hostGone() is emitted.
class HostEmbedding : public QObject {
    Q_OBJECT
  public:
    HostEmbedding(quintptr handle, QWidget* window);
    quintptr handle() const { return handle_; }

  signals:
    void hostGone();

  private:
    void checkHost();

    quintptr handle_;
    QPointer<QWindow> host_; // kept alive for as long as the child lives in it
    QTimer* watch_ = nullptr;
};

} // namespace pontrel::app
