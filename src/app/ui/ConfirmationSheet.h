#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace vantorel {

// The kit's question before an action that cannot be undone: the question in bold, a line on
// what follows, then "キャンセル" (the default, also Escape) and the action's button filled red,
// which Return presses only while it has the focus. Wide enough that a short Japanese message
// keeps to one line; a longer one wraps at punctuation. Without a message only the question
// shows. A window of one size with no maximise button.
class ConfirmationSheet : public QDialog
{
    Q_OBJECT

public:
    ConfirmationSheet(const QString& question, const QString& message, const QString& actionTitle,
                      QWidget* parent = nullptr);

    QString text() const;
    QPushButton* destructiveButton() const { return m_destructive; }
    QPushButton* cancelButton() const { return m_cancel; }

    static constexpr int sheetWidth = 380;

signals:
    // The destructive button was clicked; the sheet then closes.
    void confirmed();

private:
    QLabel* m_question;
    QPushButton* m_destructive;
    QPushButton* m_cancel;
};

} // namespace vantorel
