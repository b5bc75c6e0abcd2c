#pragma once

#include "app/ui/Binding.h"
#include "app/window/PopoverPage.h"

#include <QWidget>

namespace vantorel {

// The header row of the settings and manual input pages: a back button (named
// "panelHeader.back") that returns the host to the dashboard, then the page title.
class PanelHeader : public QWidget
{
    Q_OBJECT

public:
    PanelHeader(const QString& title, Binding<PopoverPage> page, QWidget* parent = nullptr);
};

} // namespace vantorel
