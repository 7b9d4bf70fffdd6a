#pragma once

#include <QAbstractButton>

/// One row of the settings sidebar: a symbol 20 points wide, then the title. A checked row is drawn in
/// the accent colour on a faint accent background; a destructive row (quit) is red. Tab reaches it,
/// Space or Enter presses it, and the Up/Down keys move to the section above or below and open it.
class SidebarRow : public QAbstractButton
{
    Q_OBJECT

public:
    enum class Kind { section, destructive };

    SidebarRow(const QString &iconName, const QString &title, Kind kind, QWidget *parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QString m_iconName;
    Kind m_kind;
    bool m_keyboardFocus = false;
};
