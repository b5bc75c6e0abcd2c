#pragma once

#include "app/platform/UrlOpener.h"

#include <QList>

namespace vantorel {

// Records the addresses it is asked to open; opens nothing. With `result` false no handler
// takes them.
class FakeUrlOpener final : public UrlOpener
{
public:
    void open(const QUrl& url, Failure failed) override
    {
        opened.append(url);
        if (!result && failed)
            failed();
    }

    QList<QUrl> opened;
    bool result = true;
};

} // namespace vantorel
