#pragma once

#include <QScrollArea>

class QLabel;
class QVBoxLayout;

/// The frame of a settings pane: a vertically scrolling column inside a 30-point margin, headed by a
/// bold title. Content goes into column(), top-aligned; the pane's background is the window's.
class ScrollingPane : public QScrollArea
{
    Q_OBJECT

public:
    /// An empty `title` leaves the heading out.
    explicit ScrollingPane(const QString &title, QWidget *parent = nullptr);

    QVBoxLayout *column() const { return m_column; }

    static constexpr int margin = 30;

private:
    QVBoxLayout *m_column;
};
