#pragma once

#include <QString>

namespace vantorel {

// The name the user gave this machine: PRETTY_HOSTNAME of machine-info, else the host name,
// else "Mac" (the name other devices show when the machine has none).
struct LocalHostName
{
    LocalHostName() = delete;

    static inline const QString machineInfoPath = QStringLiteral("/etc/machine-info");
    // machine-info is a few lines; anything longer is not read.
    static constexpr qint64 maximumMachineInfoSize = 65'536;

    static QString current(const QString& machineInfo = machineInfoPath);
    // PRETTY_HOSTNAME of machine-info contents (an environment-style file, values maybe quoted).
    static QString prettyHostName(const QByteArray& machineInfo);
};

} // namespace vantorel
