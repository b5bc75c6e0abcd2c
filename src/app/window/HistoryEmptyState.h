#pragma once

#include <QWidget>

namespace vantorel {

// The empty state of both history sections: a symbol, a title and a message, centred, at
// least 245 px high and as wide as the section.
class HistoryEmptyState : public QWidget
{
    Q_OBJECT

public:
    HistoryEmptyState(const QString& systemName, const QString& title, const QString& message,
                      QWidget* parent = nullptr);

    static constexpr int minimumHeight = 245;
};

} // namespace vantorel
