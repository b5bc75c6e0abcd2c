#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QString>

namespace vantorel::test {

// The whole file; empty when it cannot be read.
QByteArray readFileBytes(const QString& path);
// Replaces the file's contents; false when it cannot be written whole.
bool writeFileBytes(const QString& path, const QByteArray& bytes);
// The owner, group and other bits of the file's mode, without Qt's "current user" flags.
QFileDevice::Permissions fileMode(const QString& path);

} // namespace vantorel::test
