#pragma once

#include <QWidget>

struct AppContext;

/// The settings screen: a sidebar of sections beside the selected pane (700 × 500). It is the last
/// screen of the main window and the content of the tray's fallback window.
class SettingsWindowView : public QWidget
{
    Q_OBJECT

public:
    explicit SettingsWindowView(AppContext &context, QWidget *parent = nullptr);

private:
    AppContext &m_context;
};
