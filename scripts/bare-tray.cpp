// The floor that scripts/measure-daily.sh holds the application against: a Qt tray icon and
// nothing else. Each line written to the named pipe given as its argument runs `codex app-server` from PATH, asks it for
// the rate limits as the application does, and shows the five-hour window's remaining percentage
// as a ring with the number, drawn at the size the tray gives the icon. Built by the script:
//   g++ -O2 -fPIC bare-tray.cpp $(pkg-config --cflags --libs Qt6Widgets)
// usage: bare-tray FIFO
#include <QApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QPixmap>
#include <QProcess>
#include <QSocketNotifier>
#include <QSystemTrayIcon>

#include <optional>

#include <fcntl.h>
#include <unistd.h>

namespace {

QIcon ring(std::optional<int> percent, int side)
{
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF circle(2, 2, side - 4, side - 4);
    painter.setPen(QPen(QColor(128, 128, 128, 90), 2.5));
    painter.drawEllipse(circle);
    if (percent) {
        painter.setPen(QPen(QColor(52, 199, 89), 2.5, Qt::SolidLine, Qt::RoundCap));
        painter.drawArc(circle, 90 * 16, -*percent * 360 * 16 / 100);
        QFont font(QStringLiteral("DejaVu Sans Mono"));
        font.setPixelSize(side / 2);
        font.setBold(true);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(circle, Qt::AlignCenter, QString::number(*percent));
    }
    return QIcon(pixmap);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    QSystemTrayIcon tray;
    const auto side = [&tray] {
        const int height = tray.geometry().height();
        return height > 0 ? height : 22;
    };
    tray.setIcon(ring(std::nullopt, side()));
    tray.show();

    QProcess codex;
    QByteArray output;
    QObject::connect(&codex, &QProcess::readyReadStandardOutput, &app, [&] {
        output += codex.readAllStandardOutput();
        for (qsizetype end = output.indexOf('\n'); end >= 0; end = output.indexOf('\n')) {
            const auto message = QJsonDocument::fromJson(output.left(end)).object();
            output.remove(0, end + 1);
            const int id = message.value(QStringLiteral("id")).toInt();
            if (id == 1) {
                codex.write("{\"jsonrpc\":\"2.0\",\"method\":\"initialized\"}\n"
                            "{\"jsonrpc\":\"2.0\",\"id\":2,\"method\":\"account/rateLimits/read\"}\n");
            } else if (id == 2) {
                const auto primary = message.value(QStringLiteral("result"))
                                         .toObject()
                                         .value(QStringLiteral("rateLimits"))
                                         .toObject()
                                         .value(QStringLiteral("primary"))
                                         .toObject();
                tray.setIcon(ring(100 - primary.value(QStringLiteral("usedPercent")).toInt(), side()));
                codex.closeWriteChannel();
                codex.kill();
            }
        }
    });
    if (argc < 2)
        return 2;
    // Opened for writing too, so that the pipe never reads as ended.
    const int commands = ::open(argv[1], O_RDWR | O_NONBLOCK);
    if (commands < 0)
        return 1;
    QSocketNotifier input(commands, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char buffer[64];
        if (::read(commands, buffer, sizeof buffer) <= 0)
            return;
        if (codex.state() != QProcess::NotRunning)
            codex.waitForFinished();
        output.clear();
        codex.start(QStringLiteral("codex"), {QStringLiteral("app-server")});
        codex.write("{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"initialize\","
                    "\"params\":{\"clientInfo\":{\"name\":\"bare\",\"version\":\"1\"}}}\n");
    });
    return app.exec();
}
