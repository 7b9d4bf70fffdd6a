#pragma once

#include <QMutex>
#include <QStringList>

/// Captures every diagnostic line written while it lives (instead of the system log).
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    QStringList lines() const;
    bool contains(const QString &line) const;
    /// Number of lines that start with `prefix`.
    int countStartingWith(const QString &prefix) const;
    /// All captured text joined with newlines.
    QString text() const;
    void clear();

private:
    mutable QMutex m_mutex;
    QStringList m_lines;
};
