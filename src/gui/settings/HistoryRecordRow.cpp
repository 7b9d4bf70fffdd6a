#include "gui/settings/HistoryRecordRow.h"

#include "gui/widgets/SymbolIcon.h"
#include "gui/widgets/Theme.h"

#include <QHBoxLayout>
#include <QLabel>

HistoryRecordRow::HistoryRecordRow(const HistoryRecord &record, QWidget *parent)
    : QWidget(parent), m_record(record)
{
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    auto *clock = new QLabel(this);
    clock->setPixmap(
        SymbolIcon::pixmap(QStringLiteral("clock.fill"), 14, Theme::accent(palette()), devicePixelRatioF()));
    row->addWidget(clock);
    row->addWidget(new QLabel(record.date, this), 1);
    auto *time = new QLabel(record.time, this);
    Theme::style(time, Theme::Text::caption, Theme::Tone::Secondary);
    row->addWidget(time);
}
