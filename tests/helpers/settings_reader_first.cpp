// Starts the read of the settings at start, as the application does, and makes the application
// object while the reader is inside the file: the order a busy machine may give. The file named
// by the argument is a FIFO, so the reader waits in it until this side has made the application.
// Qt warns on standard error when the application is not made on its main thread, and the
// sanitizers report the thread data it then keeps.
#include "app/shell/StartupSettings.h"

#include <QApplication>

#include <fcntl.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    auto settings = vantorel::StartupSettings::readInBackground(QString::fromLocal8Bit(argv[1]));
    // Opening a FIFO for writing returns once the reader has opened it.
    const int fifo = ::open(argv[1], O_WRONLY | O_CLOEXEC);
    if (fifo < 0)
        return 2;
    QApplication app(argc, argv);
    const char contents[] = "{}";
    const bool written = ::write(fifo, contents, sizeof contents - 1) == sizeof contents - 1;
    ::close(fifo);
    return written && settings.get().contents ? 0 : 3;
}
