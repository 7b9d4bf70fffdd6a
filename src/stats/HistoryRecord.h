#pragma once

#include <QString>

/// The display form of one stored sign-in in the list of recent sign-ins.
struct HistoryRecord
{
    QString id;   ///< position in the displayed list as decimal text, "0" for the newest
    QString date; ///< the stored "date", or empty text when it is absent or not a string
    QString time; ///< the stored "time", or empty text when it is absent or not a string

    friend bool operator==(const HistoryRecord &, const HistoryRecord &) = default;
};
