#pragma once

#include "stats/HistoryRecord.h"

#include <QWidget>

/// One recent sign-in: a clock in the accent colour, the date, and the time in small secondary text
/// at the right edge.
class HistoryRecordRow : public QWidget
{
    Q_OBJECT

public:
    explicit HistoryRecordRow(const HistoryRecord &record, QWidget *parent = nullptr);

    const HistoryRecord &record() const { return m_record; }

private:
    HistoryRecord m_record;
};
