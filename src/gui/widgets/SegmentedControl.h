#pragma once

#include <QStringList>
#include <QWidget>

/// A row of mutually exclusive segments drawn as one rounded control, the selected one raised. A click
/// or the Left/Right keys select; `currentIndexChanged` tells a change made by the user or by code.
class SegmentedControl : public QWidget
{
    Q_OBJECT

public:
    explicit SegmentedControl(const QStringList &titles, QWidget *parent = nullptr);

    int currentIndex() const { return m_current; }
    void setCurrentIndex(int index);
    int count() const { return int(m_titles.size()); }
    QString title(int index) const { return m_titles.value(index); }
    /// The segment's area, for clicking it in a test.
    QRect segmentRect(int index) const;

    QSize sizeHint() const override;

Q_SIGNALS:
    void currentIndexChanged(int index);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QStringList m_titles;
    int m_current = 0;
};
