#pragma once

class QScrollArea;
class QString;
class QWidget;

namespace vantorel {

// The scroll area of a page or of a step's body: frameless, over the page's own background, with
// `content` as wide as the area and at least as tall, scrolling up and down where it needs more.
QScrollArea* makePageScrollArea(QWidget* content, const QString& objectName, QWidget* parent);

} // namespace vantorel
