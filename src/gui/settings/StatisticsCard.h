#pragma once

#include <QColor>
#include <QFrame>

class QLabel;

/// A figure on a rounded card: a large symbol in `colour` on the left, the title in small secondary
/// text above the value in large bold type.
class StatisticsCard : public QFrame
{
    Q_OBJECT

public:
    StatisticsCard(const QString &title, const QString &iconName, const QColor &colour,
                   QWidget *parent = nullptr);

    void setValue(const QString &value);
    QString value() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QLabel *m_value;
};
