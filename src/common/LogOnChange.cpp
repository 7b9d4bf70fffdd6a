#include "common/LogOnChange.h"

#include "common/Log.h"

#include <QMutexLocker>

void LogOnChange::write(const QStringList &lines)
{
    QMutexLocker lock(&m_mutex);
    const bool repeated = m_last == lines;
    for (const QString &line : lines)
        repeated ? Log::echo(line) : Log::write(line);
    m_last = lines;
}

void LogOnChange::reset()
{
    QMutexLocker lock(&m_mutex);
    m_last.reset();
}
