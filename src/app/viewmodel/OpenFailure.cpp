#include "app/viewmodel/OpenFailure.h"

namespace vantorel {

QString OpenFailure::message(Kind kind, const QString& name)
{
    QString missing;
    switch (kind) {
    case Kind::page:
        missing = QStringLiteral("ブラウザが見つかりません。");
        break;
    case Kind::terminal:
        missing = QStringLiteral("端末アプリが見つかりません。");
        break;
    case Kind::file:
        missing = QStringLiteral("ファイルを開くアプリが見つかりません。");
        break;
    }
    return QStringLiteral("「%1」を開けませんでした。%2").arg(name, missing);
}

} // namespace vantorel
