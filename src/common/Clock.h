#pragma once

#include <QDateTime>

/// The current time, behind a seam so that tests can move it instead of sleeping.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;

    /// The wall clock of the running program.
    static const Clock &system();
};
