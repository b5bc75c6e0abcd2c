// The yardstick for start-up figures measured from outside: a Qt tray item and nothing else, an
// icon drawn in memory and shown as soon as the application object exists. bare_tray_linked is the
// same program with every shared library the application loads, so that the two tell the cost of
// library loading from the cost of our own start-up.
#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QPixmap picture(22, 22);
    picture.fill(Qt::transparent);
    {
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(Qt::darkGreen);
        painter.drawEllipse(picture.rect().adjusted(2, 2, -2, -2));
    }
    QSystemTrayIcon tray{QIcon(picture)};
    tray.show();
    return app.exec();
}
