#pragma once

#include <QAbstractButton>

namespace vantorel {

enum class SidebarButtonRole { navigation, externalAction };

// One sidebar entry. A navigation entry is a 32 px row (symbol, title); an external action a
// 48 px column (symbol above title). Selected entries take the accent colour on a tinted
// rounded background. The tooltip is the help text, else the title.
class SidebarButton : public QAbstractButton
{
    Q_OBJECT

public:
    SidebarButton(const QString& title, const QString& systemName, SidebarButtonRole role,
                  const QString& helpText = QString(), QWidget* parent = nullptr);

    void setSelected(bool selected);
    bool isSelected() const { return m_selected; }
    SidebarButtonRole role() const { return m_role; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_symbol;
    SidebarButtonRole m_role;
    bool m_selected = false;
};

} // namespace vantorel
