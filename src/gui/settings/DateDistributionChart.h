#pragma once

#include <QMap>
#include <QString>
#include <QWidget>

/// Sign-ins per day as horizontal bars, newest day on top: the ten most recent days that have
/// sign-ins, each bar scaled against the busiest day of the whole map (which may be older than the
/// days shown). An empty map shows "暂无数据".
class DateDistributionChart : public QWidget
{
    Q_OBJECT

public:
    static inline const QString emptyText = QStringLiteral("暂无数据");
    static constexpr int maxRows = 10;

    struct Bar
    {
        QString day; ///< "yyyy-MM-dd" as stored
        int count = 0;
        double fraction = 0; ///< of the full bar width
    };

    explicit DateDistributionChart(QWidget *parent = nullptr);

    void setData(const QMap<QString, int> &data);
    /// The rows shown, top to bottom.
    const QList<Bar> &bars() const { return m_bars; }

    /// "yyyy-MM-dd" → "MM/dd"; any other text unchanged.
    static QString formatDateLabel(const QString &day);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QList<Bar> m_bars;
};
