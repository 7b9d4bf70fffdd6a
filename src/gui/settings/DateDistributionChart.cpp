#include "gui/settings/DateDistributionChart.h"

#include "gui/widgets/Theme.h"

#include <QDate>
#include <QPainter>

#include <algorithm>

namespace {
constexpr int padding = 12;
constexpr int rowHeight = 16;
constexpr int rowSpacing = 8;
constexpr int partSpacing = 12;
constexpr int labelWidth = 80;
constexpr int countWidth = 30;
constexpr qreal barRadius = 4;
} // namespace

DateDistributionChart::DateDistributionChart(QWidget *parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void DateDistributionChart::setData(const QMap<QString, int> &data)
{
    int scale = 0;
    for (const int count : data)
        scale = std::max(scale, count);
    m_bars.clear();
    // QMap keeps its keys ascending; the newest day comes last.
    for (auto it = data.constEnd(); it != data.constBegin() && m_bars.size() < maxRows;) {
        --it;
        m_bars.append({it.key(), it.value(), scale > 0 ? double(it.value()) / scale : 0.0});
    }
    // Screen readers read the rows as text.
    QStringList rows;
    for (const Bar &bar : std::as_const(m_bars))
        rows << QStringLiteral("%1 %2").arg(formatDateLabel(bar.day)).arg(bar.count);
    setAccessibleName(rows.isEmpty() ? emptyText : rows.join(QStringLiteral("，")));
    updateGeometry();
    update();
}

QString DateDistributionChart::formatDateLabel(const QString &day)
{
    const QDate date = QDate::fromString(day, QStringLiteral("yyyy-MM-dd"));
    return date.isValid() ? date.toString(QStringLiteral("MM/dd")) : day;
}

QSize DateDistributionChart::sizeHint() const
{
    if (m_bars.isEmpty())
        return {200, QFontMetrics(Theme::font(Theme::Text::caption)).height() + 2 * padding};
    const int rows = int(m_bars.size());
    return {200, 2 * padding + rows * rowHeight + (rows - 1) * rowSpacing};
}

void DateDistributionChart::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (m_bars.isEmpty()) {
        painter.setFont(Theme::font(Theme::Text::caption));
        painter.setPen(Theme::secondaryText(palette()));
        painter.drawText(rect().adjusted(padding, 0, -padding, 0), Qt::AlignVCenter | Qt::AlignLeft,
                         emptyText);
        return;
    }
    Theme::paintContainer(painter, rect(), palette());

    const int barLeft = padding + labelWidth + partSpacing;
    const int barSpace = std::max(0, width() - barLeft - partSpacing - countWidth - padding);
    int top = padding;
    for (const Bar &bar : m_bars) {
        const QRect row(padding, top, width() - 2 * padding, rowHeight);
        painter.setFont(Theme::font(Theme::Text::caption));
        painter.setPen(Theme::secondaryText(palette()));
        painter.drawText(QRect(row.left(), row.top(), labelWidth, rowHeight),
                         Qt::AlignVCenter | Qt::AlignLeft, formatDateLabel(bar.day));
        painter.setPen(Qt::NoPen);
        painter.setBrush(Theme::accent(palette()));
        painter.drawRoundedRect(QRectF(barLeft, row.top(), barSpace * bar.fraction, rowHeight), barRadius,
                                barRadius);
        painter.setFont(Theme::font(Theme::Text::captionEmphasis));
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(QRect(row.right() - countWidth, row.top(), countWidth, rowHeight),
                         Qt::AlignVCenter | Qt::AlignRight, QString::number(bar.count));
        top += rowHeight + rowSpacing;
    }
}
