#pragma once

#include <QColor>
#include <QTimer>
#include <QWidget>

/// A small indeterminate progress indicator: a painted arc that turns while the widget is visible.
class Spinner : public QWidget
{
    Q_OBJECT

public:
    /// `diameter` in device-independent pixels.
    explicit Spinner(int diameter = 16, QWidget *parent = nullptr);

    /// An invalid colour follows the palette's text colour.
    void setColour(const QColor &colour);

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    QTimer m_timer;
    QColor m_colour;
    int m_angle = 0;
};
