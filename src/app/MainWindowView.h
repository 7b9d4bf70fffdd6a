#pragma once

#include <QWidget>

struct AppContext;

/// The main window's root view: it picks the first screen from the stored first-run facts and moves
/// through the first-run flow to the settings screen.
class MainWindowView : public QWidget
{
    Q_OBJECT

public:
    explicit MainWindowView(AppContext &context, QWidget *parent = nullptr);

private:
    AppContext &m_context;
};
