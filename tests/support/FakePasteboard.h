#pragma once

#include "app/platform/Pasteboard.h"

namespace vantorel {

// An in-memory clipboard; copyFromAnotherProgram stands for a copy made elsewhere.
class FakePasteboard final : public Pasteboard
{
public:
    int changeCount() const override { return changes; }
    QString string() const override { return contents; }
    bool writeString(const QString& text) override
    {
        ++changes;
        contents = writeFails ? QString() : text;
        return !writeFails;
    }
    void clearContents() override
    {
        ++changes;
        contents.clear();
    }
    void copyFromAnotherProgram(const QString& text)
    {
        ++changes;
        contents = text;
    }

    QString contents;
    int changes = 0;
    bool writeFails = false;
};

} // namespace vantorel
