#pragma once

#include "app/platform/Pasteboard.h"

namespace vantorel {

// An in-memory clipboard; copyFromAnotherProgram stands for a copy made elsewhere.
class FakePasteboard final : public Pasteboard
{
public:
    int changeCount() const override { return changes; }
    QString string() const override { return contents; }
    bool writeString(const QString& text, bool currentHostOnly) override
    {
        ++changes;
        hostOnly = currentHostOnly;
        contents = writeFails ? QString() : text;
        return !writeFails;
    }
    void clearContents() override
    {
        ++changes;
        contents.clear();
        hostOnly = false;
    }
    void copyFromAnotherProgram(const QString& text)
    {
        ++changes;
        contents = text;
        hostOnly = false;
    }

    QString contents;
    int changes = 0;
    bool writeFails = false;
    // The last write asked to stay on this machine.
    bool hostOnly = false;
};

} // namespace vantorel
