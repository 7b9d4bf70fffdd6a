#pragma once

#include "auth/TransportError.h"

#include <QByteArray>
#include <QList>
#include <QPair>

#include <optional>

/// What one portal request brought back, bounded: an oversized body is not kept.
struct PortalResponse
{
    /// Set when the request ended without a usable answer.
    std::optional<TransportError> error;
    /// The HTTP status; absent when no HTTP response arrived.
    std::optional<int> statusCode;
    /// The response's header fields as they arrived.
    QList<QPair<QByteArray, QByteArray>> headers;
    /// The body, at most ResponseLimits::maxResponseSize bytes; empty when `oversized`.
    QByteArray body;
    /// The body's length in bytes; for an oversized body, as much of it as is known.
    qint64 length = 0;
    /// The body passed ResponseLimits::maxResponseSize and was dropped unread.
    bool oversized = false;
};
