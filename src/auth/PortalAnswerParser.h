#pragma once

#include "auth/LoginOutcome.h"

#include <QString>

/// Reads the portal's answer to the sign-in form. The portal writes a script-style object with
/// "success" and "msg", in single or double quotes; other portal versions answer in plain text, so
/// text rules back up the object reading.
namespace PortalAnswerParser {

/// The message of a success found by the text rules.
extern const QString successMessage;
/// The message of a failure whose text carries no "msg".
extern const QString failureMessage;

/// The outcome that `text`, answered with HTTP status `httpStatus`, stands for.
LoginOutcome parse(const QString &text, int httpStatus);

} // namespace PortalAnswerParser
