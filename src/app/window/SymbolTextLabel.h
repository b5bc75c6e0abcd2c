#pragma once

#include "app/window/DashboardTint.h"

#include <QFont>
#include <QWidget>

#include <optional>

namespace vantorel {

class LineLimitedLabel;
class SymbolView;

// A symbol followed by plain text of at most `lines` lines, both in one font-matched size and
// one tint: the dashboard's small status labels and notes.
class SymbolTextLabel : public QWidget
{
    Q_OBJECT

public:
    SymbolTextLabel(const QFont& font, int lines, QWidget* parent = nullptr);

    void setContent(const QString& text, const QString& systemName, std::optional<DashboardTint> tint);
    QString text() const;
    QString symbol() const;

private:
    SymbolView* m_symbol;
    LineLimitedLabel* m_text;
};

} // namespace vantorel
