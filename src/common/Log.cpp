#include "common/Log.h"

#include <QMutex>
#include <QMutexLocker>

#include <algorithm>
#include <cstdio>
#include <syslog.h>

namespace {
struct LogState
{
    QMutex mutex;
    bool stderrCopy = false;
    bool syslogOpen = false;
    Log::Sink sink;
};

LogState &state()
{
    static LogState s;
    return s;
}

void copyToStderr(const LogState &s, const QByteArray &utf8)
{
    if (!s.stderrCopy)
        return;
    std::fprintf(stderr, "%s\n", utf8.constData());
    std::fflush(stderr);
}
} // namespace

namespace Log {

void write(const QString &line)
{
    LogState &s = state();
    const QByteArray utf8 = line.toUtf8();
    QMutexLocker lock(&s.mutex);
    if (s.sink) {
        s.sink(line);
    } else {
        if (!s.syslogOpen) {
            openlog("netlatch", LOG_PID, LOG_USER);
            s.syslogOpen = true;
        }
        syslog(LOG_INFO, "%s", utf8.constData());
    }
    copyToStderr(s, utf8);
}

QString quoted(const QString &outside, qsizetype maxLength)
{
    const bool cut = outside.size() > maxLength;
    QString safe;
    safe.reserve(std::min(outside.size(), maxLength) + 8);
    for (const QChar c : QStringView(outside).left(maxLength)) {
        if (c == QLatin1Char('\\'))
            safe += QStringLiteral("\\\\");
        else if (c.category() == QChar::Other_Control || c.category() == QChar::Separator_Line ||
                 c.category() == QChar::Separator_Paragraph || c.category() == QChar::Other_Format)
            safe += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            safe += c;
    }
    return QLatin1Char('"') + safe + QLatin1Char('"') + (cut ? QStringLiteral("…") : QString());
}

void echo(const QString &line)
{
    LogState &s = state();
    QMutexLocker lock(&s.mutex);
    copyToStderr(s, line.toUtf8());
}

void setStderrCopy(bool enabled)
{
    QMutexLocker lock(&state().mutex);
    state().stderrCopy = enabled;
}

void setSink(Sink sink)
{
    QMutexLocker lock(&state().mutex);
    state().sink = std::move(sink);
}

} // namespace Log
