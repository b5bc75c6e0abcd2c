#include "app/window/SecretField.h"

#include <QLineEdit>
#include <QPointer>

namespace vantorel {

QCoro::Task<> clearSecretFieldOnceSaved(QCoro::Task<bool> save, QLineEdit* field, QString typed)
{
    const QPointer<QLineEdit> guard(field);
    const bool saved = co_await std::move(save);
    if (saved && guard && guard->text() == typed)
        guard->clear();
}

} // namespace vantorel
