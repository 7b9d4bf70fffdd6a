#include "common/Log.h"

#include <QMutex>
#include <QMutexLocker>

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
    if (s.stderrCopy) {
        std::fprintf(stderr, "%s\n", utf8.constData());
        std::fflush(stderr);
    }
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
