#pragma once

#include <QString>

#include <optional>

/// The portal account as read from the secret store: each field on its own present or absent.
struct Credentials
{
    std::optional<QString> username;
    std::optional<QString> password;

    /// Both fields present and non-empty: the only state in which a sign-in may start.
    bool isUsable() const
    {
        return username && !username->isEmpty() && password && !password->isEmpty();
    }
};
