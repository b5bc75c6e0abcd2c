#pragma once

#include <QString>
#include <QStringList>

namespace vantorel {

// Turns the text of a component-name editor into the names to store.
struct ServiceNameDraft
{
    // One name per line, trimmed of white space; blank lines dropped, order and duplicates kept.
    static QStringList names(const QString& text);
};

} // namespace vantorel
