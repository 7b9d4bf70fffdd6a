#pragma once

#include "common/PluginApi.h"

#include <QObject>

/// The system happenings after which the portal session is typically lost. Every signal is delivered
/// on the main thread. start() begins the delivery of the system's events and stop() ends it; both
/// may be called any number of times, and a start() after a start() never doubles an event.
///
/// Observers connect to the signals themselves and disconnect when they stop listening (for example
/// `QObject::disconnect(&events, nullptr, this, nullptr)`), so that a restart never leaves two
/// connections to one signal.
class NETLATCH_PLUGIN_API SystemEvents : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    virtual void start() = 0;
    virtual void stop() = 0;

Q_SIGNALS:
    /// The computer has resumed from sleep.
    void systemDidWake();
    /// The screen saver or screen lock has gone away.
    void screensDidWake();
    /// The user's login session has been unlocked.
    void sessionDidBecomeActive();
    /// The application's window has become the active one. Only a graphical front end knows this: it
    /// forwards Qt::ApplicationActive here; in the headless daemon it never fires.
    void applicationDidBecomeActive();
    /// The system's own connectivity check has found the internet cut off behind a portal, or
    /// reachable only in part, where it was not before. Systems without such a check never send it.
    void internetAccessLost();
};
