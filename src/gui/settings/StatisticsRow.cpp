#include "gui/settings/StatisticsRow.h"

#include "gui/widgets/Theme.h"

#include <QHBoxLayout>
#include <QLabel>

StatisticsRow::StatisticsRow(const QString &label, QWidget *parent)
    : QWidget(parent), m_value(new QLabel(this))
{
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    auto *labelText = new QLabel(label, this);
    Theme::setTextColour(labelText, Theme::secondaryText(labelText->palette()));
    row->addWidget(labelText, 1);
    QFont font = m_value->font();
    font.setWeight(QFont::DemiBold);
    m_value->setFont(font);
    row->addWidget(m_value);
}

void StatisticsRow::setValue(const QString &value)
{
    m_value->setText(value);
}

QString StatisticsRow::value() const
{
    return m_value->text();
}
