#include "app/shell/GraphicalSession.h"

namespace vantorel {

bool GraphicalSession::available(const QProcessEnvironment& environment, const QStringList& arguments)
{
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        if (!environment.value(QString::fromLatin1(name)).isEmpty())
            return true;
    }
    return arguments.contains(QStringLiteral("-platform")) || arguments.contains(QStringLiteral("--platform"));
}

QString GraphicalSession::missingMessage()
{
    return QStringLiteral("Vantorel: 画面のあるデスクトップセッション（X11 または Wayland）が必要です。"
                          "デスクトップにログインしてから起動してください。");
}

} // namespace vantorel
