#pragma once

#include <QString>

/// A request that ended without a usable answer from the portal: no connection, a time-out, a
/// cancellation. An HTTP error status is an answer, not a transport error.
struct TransportError
{
    /// The kinds the sign-in tells apart; each has its own message.
    enum class Kind { TimedOut, CannotConnect, InsecureConnectionRefused, Other };

    Kind kind = Kind::Other;
    /// The network library's error number, for the log.
    int code = 0;
    /// The network library's description of the error.
    QString description;
};
