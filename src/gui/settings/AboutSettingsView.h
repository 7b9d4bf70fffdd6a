#pragma once

#include "gui/widgets/ScrollingPane.h"

/// The "关于" pane: the product's image, name and version, what it does and how to use it.
class AboutSettingsView : public ScrollingPane
{
    Q_OBJECT

public:
    static constexpr int avatarSize = 100;

    explicit AboutSettingsView(QWidget *parent = nullptr);

    /// The product image in a circle with a 2-point accent outline, `avatarSize` square.
    static QPixmap avatar(const QPalette &palette, qreal devicePixelRatio);
};
