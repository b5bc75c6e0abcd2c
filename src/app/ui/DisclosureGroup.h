#pragma once

#include <QWidget>

class QAbstractButton;
class QVBoxLayout;

namespace vantorel {

// A titled section whose content shows only while it is expanded. The header (a chevron that
// turns down when open, then the title) is a button named "disclosure.header".
class DisclosureGroup : public QWidget
{
    Q_OBJECT

public:
    explicit DisclosureGroup(const QString& title, QWidget* parent = nullptr);

    void setTitle(const QString& title);

    // Takes ownership; replaces and deletes any earlier content.
    void setContent(QWidget* content);
    QWidget* content() const { return m_content; }

    bool isExpanded() const { return m_expanded; }
    void setExpanded(bool expanded);

    QAbstractButton* header() const { return m_header; }

signals:
    void expandedChanged(bool expanded);

private:
    QAbstractButton* m_header;
    QVBoxLayout* m_layout;
    QWidget* m_content = nullptr;
    bool m_expanded = false;
};

} // namespace vantorel
