#pragma once

#include <QWidget>

struct AppContext;
class QVBoxLayout;

/// The update log: what is new in this version, with the button that closes it for good (600 × 650).
class UpdateLogView : public QWidget
{
    Q_OBJECT

public:
    explicit UpdateLogView(AppContext &context, QWidget *parent = nullptr);

Q_SIGNALS:
    /// The user closed the log (the main window's update-log flag turns false).
    void closed();

private:
    void continuePressed();
    QWidget *makeContent();
    void addSection(QVBoxLayout *layout, const QString &heading, const QList<QStringList> &rows);

    AppContext &m_context;
};
