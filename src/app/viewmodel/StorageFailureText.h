#pragma once

#include <QString>

namespace vantorel {

// The warning shown while the settings or the log cannot be written: the cause in Japanese for
// the common ones, the folder, and for the settings that the changes are kept in memory and
// written once writing works again.
struct StorageFailureText
{
    enum class Cause { noPermission, noSpace, readOnly, other };

    // Reads the operating system's reason as the store and the log report it (Qt's and the C
    // library's English texts for the error number).
    static Cause causeOf(const QString& reason);

    static QString settings(const QString& reason, const QString& folder);
    static QString log(const QString& reason, const QString& folder);
};

} // namespace vantorel
