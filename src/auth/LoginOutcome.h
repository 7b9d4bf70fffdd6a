#pragma once

#include <QString>

/// How a sign-in ended: a success flag and the message. A failure's message is shown to the user as
/// it stands.
struct LoginOutcome
{
    bool success = false;
    QString message;
};
