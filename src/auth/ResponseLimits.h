#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

/// Bounds on how much of a portal answer is examined. An answer far larger than any portal page is a
/// sign of a VPN serving something else, and nothing that large is ever decoded.
namespace ResponseLimits {

/// The largest body that is inspected at all; exactly this many bytes still pass.
inline constexpr qint64 maxResponseSize = 10485760;
/// At most this many leading bytes of the login answer are decoded, parsed and logged.
inline constexpr qint64 loginTextCap = 1048576;
/// At most this many leading bytes of the portal page are decoded to recognise it.
inline constexpr qint64 pageSniffLength = 1024;

/// The failure of a sign-in whose login answer was too large.
extern const QString oversizedMessage;
/// The failure of a sign-in whose login answer is not UTF-8.
extern const QString undecodableMessage;

/// Logs that a body of `length` bytes is over the limit.
void logOversized(qint64 length);

/// The leading `limit` bytes of `bytes` as UTF-8; absent when they do not decode (a multi-byte
/// character cut by the limit included).
std::optional<QString> decodeLeading(const QByteArray &bytes, qint64 limit);

/// Decodes the leading part of a login answer and logs it (with the truncation lines when it was
/// cut); absent, after a log line, when it is not UTF-8.
std::optional<QString> loginResponseText(const QByteArray &body);

} // namespace ResponseLimits
