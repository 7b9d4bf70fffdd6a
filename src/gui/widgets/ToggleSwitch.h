#pragma once

#include <QAbstractButton>

/// An on/off switch painted in the accent colour: a checkable button with a sliding knob. Clicking it,
/// Space, Enter or setChecked() toggles it; `toggled` tells the new state.
class ToggleSwitch : public QAbstractButton
{
    Q_OBJECT

public:
    explicit ToggleSwitch(QWidget *parent = nullptr);

    QSize sizeHint() const override;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
};
