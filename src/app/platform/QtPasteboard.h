#pragma once

#include "app/platform/Pasteboard.h"

#include <QMetaObject>

namespace vantorel {

// The system clipboard through QGuiApplication::clipboard(); needs a QGuiApplication. The count
// follows the clipboard's changed signal, which Qt emits synchronously for our own writes.
class QtPasteboard final : public Pasteboard
{
public:
    QtPasteboard();
    ~QtPasteboard() override;
    QtPasteboard(const QtPasteboard&) = delete;
    QtPasteboard& operator=(const QtPasteboard&) = delete;

    int changeCount() const override { return m_changeCount; }
    QString string() const override;
    bool writeString(const QString& text, bool currentHostOnly) override;
    void clearContents() override;

    // The MIME entry by which clipboard managers recognise a secret they should not keep.
    static QString secretHintType() { return QStringLiteral("x-kde-passwordManagerHint"); }

private:
    int m_changeCount = 0;
    QMetaObject::Connection m_connection;
};

} // namespace vantorel
