#include "app/platform/QtPasteboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace vantorel {

QtPasteboard::QtPasteboard()
{
    m_connection = QObject::connect(QGuiApplication::clipboard(), &QClipboard::changed, [this](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard)
            ++m_changeCount;
    });
}

QtPasteboard::~QtPasteboard()
{
    QObject::disconnect(m_connection);
}

QString QtPasteboard::string() const
{
    return QGuiApplication::clipboard()->text(QClipboard::Clipboard);
}

bool QtPasteboard::writeString(const QString& text, bool currentHostOnly)
{
    auto* data = new QMimeData;
    data->setText(text);
    if (currentHostOnly)
        data->setData(secretHintType(), QByteArrayLiteral("secret"));
    QGuiApplication::clipboard()->setMimeData(data, QClipboard::Clipboard);
    return string() == text;
}

void QtPasteboard::clearContents()
{
    QGuiApplication::clipboard()->clear(QClipboard::Clipboard);
}

} // namespace vantorel
