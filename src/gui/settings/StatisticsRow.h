#pragma once

#include <QWidget>

class QLabel;

/// One line of the detail box: the label in secondary text on the left, the value semibold on the right.
class StatisticsRow : public QWidget
{
    Q_OBJECT

public:
    explicit StatisticsRow(const QString &label, QWidget *parent = nullptr);

    void setValue(const QString &value);
    QString value() const;

private:
    QLabel *m_value;
};
