#pragma once

#include <QAbstractButton>

/// An on/off switch painted in the accent colour: a checkable button with a sliding knob. Clicking it,
/// Space, or setChecked() toggles it; `toggled` tells the new state.
class ToggleSwitch : public QAbstractButton
{
    Q_OBJECT

public:
    explicit ToggleSwitch(QWidget *parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
};
