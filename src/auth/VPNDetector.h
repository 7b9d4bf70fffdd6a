#pragma once

#include "auth/TransportError.h"

#include <QString>

#include <optional>

/// The symptom rules that attribute a failed sign-in to a VPN capturing the portal traffic. Pure
/// functions of what a request returned; each writes the log lines that belong to its verdict.
namespace VPNDetector {

/// The step of a sign-in a request belongs to.
enum class Step { PageFetch, LoginRequest };

/// Shown (as a warning) when the portal page turned out to be some other HTML page.
extern const QString unexpectedPageMessage;
/// The failure of a sign-in whose login answer is an HTML page without the portal's fields.
extern const QString unexpectedHTMLMessage;

/// True when the text looks like an HTML document.
bool isHTML(const QString &text);

/// Whether the leading text of the portal page is the portal's page (or at least not HTML).
bool isExpectedPage(const QString &leadingText);

/// The failure message for a login answer that is an HTML page without the portal's fields;
/// absent when parsing should go on.
std::optional<QString> loginResponseProblem(const QString &text);

/// Logs a transport error of `step` and returns its user-visible message (without the "⚠️ "
/// prefix that a page-step warning adds).
QString transportErrorMessage(Step step, const TransportError &error);

} // namespace VPNDetector
