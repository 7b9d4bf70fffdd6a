#pragma once

#include <QTimer>
#include <QWidget>

/// A small busy indicator: a ring of fading strokes that turns while the widget is visible.
class Spinner : public QWidget
{
    Q_OBJECT

public:
    explicit Spinner(int diameter = 14, QWidget *parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    static constexpr int strokes = 8;

    int m_diameter;
    int m_step = 0;
    QTimer m_timer;
};
