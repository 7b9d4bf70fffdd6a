#pragma once

#include <QByteArrayView>

#include <algorithm>

/// The character classes of HTTP's grammar (RFC 9110) that more than one reader or writer checks.
namespace HttpSyntax {

/// A tchar: what a field name, a transfer coding or a cookie name is made of.
inline bool isTokenChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           QByteArrayView("!#$%&'*+-.^_`|~").contains(c);
}

inline bool isToken(QByteArrayView text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), isTokenChar);
}

} // namespace HttpSyntax
