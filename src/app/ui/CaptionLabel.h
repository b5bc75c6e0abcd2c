#pragma once

#include "app/ui/LineLimitedLabel.h"

#include <QLabel>

namespace vantorel {

// Explanations and status lines: caption font, secondary colour, plain text, wrapping between phrases.
class CaptionLabel : public LineLimitedLabel
{
    Q_OBJECT

public:
    explicit CaptionLabel(const QString& text = QString(), QWidget* parent = nullptr);
};

// A settings section's title: 13 px semibold, plain text.
class SectionTitle : public QLabel
{
    Q_OBJECT

public:
    explicit SectionTitle(const QString& text, QWidget* parent = nullptr);
};

} // namespace vantorel
