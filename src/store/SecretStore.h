#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

/// The system's secret store as the account store sees it: items named by a service and an account,
/// each holding bytes. Every call is synchronous, returns within a bounded time and reports failure
/// by its result; nothing is thrown.
class SecretStore
{
public:
    virtual ~SecretStore() = default;

    /// Adds an item holding `data`. True only when the store accepted it. Callers that want one item
    /// per account delete the old ones first; what an add does to an existing twin is the store's own.
    virtual bool addItem(const QString &service, const QString &account, const QByteArray &data) = 0;

    /// The data of one item of `service` and `account`; absent when there is none or the store failed.
    virtual std::optional<QByteArray> findItem(const QString &service, const QString &account) = 0;

    /// Deletes every item of `service`. True when the store carried it out; no items is no failure.
    virtual bool deleteItems(const QString &service) = 0;

    /// Capability: false while the last call could not use the store at all (no service, no answer,
    /// locked), so that a caller can tell the user "no store" apart from "nothing stored".
    virtual bool isAvailable() const = 0;

    /// While the store is not available: why, in words for the user; empty when it has nothing to add.
    virtual QString unavailableReason() const { return {}; }

    /// Marks the calls of one operation (a load's two lookups, a save's delete and two adds) while it
    /// lives: they share one time limit, so a store that stops answering costs the operation one
    /// limit, not one per call. An operation inside another joins the outer one.
    class Operation
    {
    public:
        explicit Operation(SecretStore &store) : m_store(store) { m_store.beginOperation(); }
        ~Operation() { m_store.endOperation(); }
        Operation(const Operation &) = delete;
        Operation &operator=(const Operation &) = delete;

    private:
        SecretStore &m_store;
    };

protected:
    /// Stores whose calls are bounded in time start the operation's one limit here.
    virtual void beginOperation() {}
    virtual void endOperation() {}
};
