#pragma once

#include <QString>

namespace vantorel {

// The desktop's general clipboard as the application core uses it. GUI thread only.
class Pasteboard
{
public:
    virtual ~Pasteboard() = default;

    // Grows by at least one on every change of the contents, whoever made it, as far as the
    // platform reports other programs' copies.
    virtual int changeCount() const = 0;
    // The plain text held now; empty when there is none.
    virtual QString string() const = 0;
    // Replaces the contents with `text`; true only when the clipboard then holds exactly it.
    // `currentHostOnly` asks clipboard histories and sync tools to leave the entry alone.
    virtual bool writeString(const QString& text, bool currentHostOnly) = 0;
    virtual void clearContents() = 0;
};

} // namespace vantorel
