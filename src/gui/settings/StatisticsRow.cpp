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
    Theme::setTextTone(labelText, Theme::Tone::Secondary);
    row->addWidget(labelText, 1);
    Theme::style(m_value, Theme::Text::emphasis);
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
