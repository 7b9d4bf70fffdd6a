#pragma once

#include <QObject>

#include <initializer_list>

class QSocketNotifier;

/// Turns Unix signals (SIGTERM from systemd or the desktop at log-out, SIGINT from Ctrl+C) into a Qt signal on the main thread.
/// The handler only writes the signal number to a socket pair, the one thing a handler may safely do;
/// the event loop reads it there. One watcher per process; the default handlers return with its end.
class UnixSignalWatcher : public QObject
{
    Q_OBJECT

public:
    explicit UnixSignalWatcher(std::initializer_list<int> signalNumbers, QObject *parent = nullptr);
    ~UnixSignalWatcher() override;

Q_SIGNALS:
    void received(int signalNumber);

private:
    static void handle(int signalNumber);
    void readSignal();

    QList<int> m_signalNumbers;
    QSocketNotifier *m_notifier = nullptr;
};
