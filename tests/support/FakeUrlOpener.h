#pragma once

#include "app/platform/UrlOpener.h"

#include <QList>

namespace vantorel {

// Records the addresses it is asked to open; opens nothing.
class FakeUrlOpener final : public UrlOpener
{
public:
    bool open(const QUrl& url) override
    {
        opened.append(url);
        return result;
    }

    QList<QUrl> opened;
    bool result = true;
};

} // namespace vantorel
