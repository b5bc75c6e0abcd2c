#pragma once

#include <QImage>
#include <QWidget>

namespace vantorel {

// The application's brand images by provider name ("Codex", "Claude"), loaded once on first
// use; a missing or unreadable file leaves its entry out.
struct ProviderBrandAssets
{
    // A null image when there is none for `providerName`.
    static QImage image(const QString& providerName);
};

// A provider's brand image scaled to fit, or, without one, its symbol in the secondary colour:
// "text.bubble" for Claude, "sparkles" for any other name.
class ProviderBrandIcon : public QWidget
{
    Q_OBJECT

public:
    ProviderBrandIcon(const QString& providerName, int size, QWidget* parent = nullptr);

    // The symbol drawn in place of a missing image; empty when the image is drawn.
    QString fallbackSymbol() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_providerName;
};

} // namespace vantorel
