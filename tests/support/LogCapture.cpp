#include "LogCapture.h"

#include "common/Log.h"

#include <QMutexLocker>

LogCapture::LogCapture()
{
    Log::setSink([this](const QString &line) {
        QMutexLocker lock(&m_mutex);
        m_lines.append(line);
    });
}

LogCapture::~LogCapture()
{
    Log::setSink({});
}

QStringList LogCapture::lines() const
{
    QMutexLocker lock(&m_mutex);
    return m_lines;
}

bool LogCapture::contains(const QString &line) const
{
    return lines().contains(line);
}

int LogCapture::countStartingWith(const QString &prefix) const
{
    int count = 0;
    for (const QString &line : lines())
        count += line.startsWith(prefix) ? 1 : 0;
    return count;
}

QString LogCapture::text() const
{
    return lines().join(QLatin1Char('\n'));
}

void LogCapture::clear()
{
    QMutexLocker lock(&m_mutex);
    m_lines.clear();
}
