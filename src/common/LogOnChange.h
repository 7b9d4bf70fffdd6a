#pragma once

#include <QMutex>
#include <QStringList>

#include <optional>

/// A line, or a group of lines, that recurs with the same text (a once-a-second status line, the
/// lines of a lookup repeated every few seconds). The system log gets it only when its text differs
/// from the last one written through this object, so the journal keeps what changed instead of being
/// flooded; the stderr copy (--verbose) still shows every line every time. Safe from any thread.
class LogOnChange
{
public:
    /// Writes the group as one: all of it when any line differs from the last group, else none.
    void write(const QStringList &lines);
    void write(const QString &line) { write(QStringList{line}); }

    /// Forgets the last text: the next group is written whatever it says.
    void reset();

private:
    QMutex m_mutex;
    std::optional<QStringList> m_last;
};
