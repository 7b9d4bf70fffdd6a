#pragma once

#include <QWidget>

class QLabel;

/// One setting inside a card: its title with an optional secondary description on the left, its
/// control (a switch, a button) on the right.
class SettingRow : public QWidget
{
    Q_OBJECT

public:
    SettingRow(const QString &title, const QString &description, QWidget *control, QWidget *parent = nullptr);

    QLabel *titleLabel() const { return m_title; }

private:
    QLabel *m_title;
};
