#include "gui/settings/StatisticsCard.h"

#include "gui/widgets/SymbolIcon.h"
#include "gui/widgets/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace {
constexpr int symbolSize = 40;
constexpr int symbolBoxWidth = 60;
} // namespace

StatisticsCard::StatisticsCard(const QString &title, const QString &iconName, const QColor &colour,
                               QWidget *parent)
    : QFrame(parent), m_value(new QLabel(QStringLiteral("0"), this))
{
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(16, 16, 16, 16);
    row->setSpacing(8);
    auto *symbol = new QLabel(this);
    symbol->setFixedWidth(symbolBoxWidth);
    symbol->setAlignment(Qt::AlignCenter);
    symbol->setPixmap(SymbolIcon::pixmap(iconName, symbolSize, colour, devicePixelRatioF()));
    row->addWidget(symbol);

    auto *texts = new QVBoxLayout;
    texts->setSpacing(2);
    auto *titleLabel = new QLabel(title, this);
    Theme::style(titleLabel, Theme::Text::caption, Theme::Tone::Secondary);
    texts->addWidget(titleLabel);
    m_value->setObjectName(QStringLiteral("statisticsCardValue"));
    Theme::style(m_value, Theme::Text::figure);
    texts->addWidget(m_value);
    row->addLayout(texts, 1);
}

void StatisticsCard::setValue(const QString &value)
{
    m_value->setText(value);
}

QString StatisticsCard::value() const
{
    return m_value->text();
}

void StatisticsCard::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    Theme::paintContainer(painter, rect(), palette());
}
