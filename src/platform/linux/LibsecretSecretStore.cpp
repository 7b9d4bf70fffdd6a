#include "platform/linux/LibsecretSecretStore.h"

#include "common/Log.h"

#include <QPointer>

#include <libsecret/secret.h>

#include <atomic>
#include <mutex>
#include <thread>

namespace {

const QString problemLine = QStringLiteral("⚠️ 无法使用系统密钥环（Secret Service）: ");
const QString noAnswerProblem = QStringLiteral("%1秒内没有响应");
const QString lockedProblem = QStringLiteral("密钥环已锁定，无法解锁");

const char *const serviceAttribute = "service";
const char *const accountAttribute = "account";
const char *const contentType = "text/plain";

// Matching ignores the schema name so that items written by other tools (secret-tool) with the
// same two attributes are found and cleared as well.
const SecretSchema *schema()
{
    static SecretSchema *const s =
        secret_schema_new("com.netlatch.Credentials", SECRET_SCHEMA_DONT_MATCH_NAME, serviceAttribute,
                          SECRET_SCHEMA_ATTRIBUTE_STRING, accountAttribute, SECRET_SCHEMA_ATTRIBUTE_STRING, nullptr);
    return s;
}

using Result = SecretStore::Result;
using Status = SecretStore::Status;

// Takes over a GError as an Unavailable result.
Result unavailable(GError *error)
{
    QString problem = error ? QString::fromUtf8(error->message) : QString();
    if (error)
        g_error_free(error);
    return {Status::Unavailable, problem.isEmpty() ? QStringLiteral("unknown error") : problem};
}

template <typename T>
struct GListOf
{
    GList *list = nullptr;
    ~GListOf() { g_list_free_full(list, g_object_unref); }
    GListOf() = default;
    GListOf(const GListOf &) = delete;
    GListOf &operator=(const GListOf &) = delete;
};

} // namespace

/// What an operation's worker and the store share; the worker may outlive the store.
struct LibsecretSecretStore::Call
{
    GCancellable *cancellable = g_cancellable_new();
    /// Set while the worker waits on an unlock prompt: then a person is deciding.
    std::atomic<bool> prompting{false};
    /// Cleared by the store when it stops waiting for this call (deadline passed, store gone).
    std::mutex mutex;
    QObject *home = nullptr;

    Call() = default;
    Call(const Call &) = delete;
    Call &operator=(const Call &) = delete;
    ~Call() { g_object_unref(cancellable); }

    /// Unlocks every locked one of `objects` (items, collections) with one prompt; Locked when the
    /// person cancelled or no prompt could be shown.
    Result unlock(SecretService *service, GList *objects)
    {
        GList *locked = nullptr;
        for (GList *object = objects; object; object = object->next) {
            const bool isLocked = SECRET_IS_ITEM(object->data) ? secret_item_get_locked(SECRET_ITEM(object->data))
                                                               : secret_collection_get_locked(SECRET_COLLECTION(object->data));
            if (isLocked)
                locked = g_list_prepend(locked, object->data);
        }
        if (!locked)
            return {};
        const guint wanted = g_list_length(locked);
        GError *error = nullptr;
        GList *unlocked = nullptr;
        prompting = true;
        secret_service_unlock_sync(service, locked, cancellable, &unlocked, &error);
        prompting = false;
        const guint got = g_list_length(unlocked);
        g_list_free_full(unlocked, g_object_unref);
        g_list_free(locked);
        if (error)
            return unavailable(error);
        return got < wanted ? Result{Status::Locked, lockedProblem} : Result{};
    }

    /// Every item of `service`, found without unlocking anything.
    Result search(SecretService *secrets, const QByteArray &service, GList **items)
    {
        GHashTable *attributes = secret_attributes_build(schema(), serviceAttribute, service.constData(), nullptr);
        GError *error = nullptr;
        *items = secret_service_search_sync(secrets, schema(), attributes, SECRET_SEARCH_ALL, cancellable, &error);
        g_hash_table_unref(attributes);
        return error ? unavailable(error) : Result{};
    }

    Result read(const QByteArray &service, Items &found)
    {
        GError *error = nullptr;
        SecretService *secrets = secret_service_get_sync(SECRET_SERVICE_NONE, cancellable, &error);
        if (!secrets)
            return unavailable(error);
        GListOf<SecretItem> items;
        Result result = search(secrets, service, &items.list);
        if (result.status == Status::Done)
            result = unlock(secrets, items.list);
        if (result.status == Status::Done && items.list &&
            !secret_item_load_secrets_sync(items.list, cancellable, &error))
            result = unavailable(error);
        for (GList *entry = items.list; entry && result.status == Status::Done; entry = entry->next) {
            auto *item = SECRET_ITEM(entry->data);
            GHashTable *attributes = secret_item_get_attributes(item);
            const auto *account = static_cast<const char *>(g_hash_table_lookup(attributes, accountAttribute));
            SecretValue *value = secret_item_get_secret(item);
            if (!value) {
                result = {Status::Locked, lockedProblem};
            } else if (account) {
                gsize length = 0;
                const gchar *bytes = secret_value_get(value, &length);
                found.insert(QString::fromUtf8(account), QByteArray(bytes, qsizetype(length)));
            }
            if (value)
                secret_value_unref(value);
            g_hash_table_unref(attributes);
        }
        g_object_unref(secrets);
        return result;
    }

    Result replace(const QByteArray &service, const Items &replacement)
    {
        GError *error = nullptr;
        SecretService *secrets = secret_service_get_sync(SECRET_SERVICE_NONE, cancellable, &error);
        if (!secrets)
            return unavailable(error);
        GListOf<SecretItem> items;
        Result result = search(secrets, service, &items.list);
        // The old items and the collection that takes the new ones are unlocked with one prompt.
        GList *toUnlock = g_list_copy(items.list);
        SecretCollection *collection = nullptr;
        if (result.status == Status::Done && !replacement.isEmpty()) {
            collection = secret_collection_for_alias_sync(secrets, SECRET_COLLECTION_DEFAULT, SECRET_COLLECTION_NONE,
                                                          cancellable, &error);
            if (error)
                result = unavailable(error);
            else if (collection)
                toUnlock = g_list_prepend(toUnlock, collection);
        }
        if (result.status == Status::Done)
            result = unlock(secrets, toUnlock);
        g_list_free(toUnlock);
        if (collection)
            g_object_unref(collection);
        for (GList *entry = items.list; entry && result.status == Status::Done; entry = entry->next) {
            if (!secret_item_delete_sync(SECRET_ITEM(entry->data), cancellable, &error))
                result = unavailable(error);
        }
        for (auto item = replacement.cbegin(); item != replacement.cend() && result.status == Status::Done; ++item) {
            const QByteArray account = item.key().toUtf8();
            // Secret Service items always show a label in keyring managers.
            const QByteArray label = service + '/' + account;
            SecretValue *value = secret_value_new(item->constData(), item->size(), contentType);
            secret_password_store_binary_sync(schema(), SECRET_COLLECTION_DEFAULT, label.constData(), value,
                                              cancellable, &error, serviceAttribute, service.constData(),
                                              accountAttribute, account.constData(), nullptr);
            secret_value_unref(value);
            if (error)
                result = unavailable(error);
        }
        g_object_unref(secrets);
        return result;
    }
};

struct LibsecretSecretStore::Job
{
    std::function<Result(Call &call, Items &items)> work;
    QPointer<QObject> receiver;
    bool hasReceiver = false;
    ReadHandler done;
};

LibsecretSecretStore::LibsecretSecretStore(std::chrono::milliseconds timeout, std::chrono::milliseconds promptPatience)
    : m_timeout(timeout), m_promptPatience(promptPatience)
{
    m_deadline.setSingleShot(true);
    QObject::connect(&m_deadline, &QTimer::timeout, &m_home, [this] { deadlineReached(); });
}

LibsecretSecretStore::~LibsecretSecretStore()
{
    if (m_call) {
        const std::lock_guard lock(m_call->mutex);
        m_call->home = nullptr;
    }
}

void LibsecretSecretStore::readItems(const QString &service, const QObject *receiver, ReadHandler done)
{
    enqueue(std::make_unique<Job>(Job{[service = service.toUtf8()](Call &call, Items &items) {
                                          return call.read(service, items);
                                      },
                                      const_cast<QObject *>(receiver), receiver != nullptr, std::move(done)}));
}

void LibsecretSecretStore::replaceItems(const QString &service, const Items &items, const QObject *receiver,
                                        WriteHandler done)
{
    enqueue(std::make_unique<Job>(Job{[service = service.toUtf8(), items](Call &call, Items &) {
                                          return call.replace(service, items);
                                      },
                                      const_cast<QObject *>(receiver), receiver != nullptr,
                                      [done = std::move(done)](const Result &result, const Items &) {
                                          done(result);
                                      }}));
}

void LibsecretSecretStore::enqueue(std::unique_ptr<Job> job)
{
    m_queue.push_back(std::move(job));
    // Started from the event loop: an answer never comes inside the call that asked.
    if (!m_running && m_queue.size() == 1)
        QMetaObject::invokeMethod(&m_home, [this] { startNext(); }, Qt::QueuedConnection);
}

void LibsecretSecretStore::startNext()
{
    if (m_running || m_queue.empty())
        return;
    m_running = std::move(m_queue.front());
    m_queue.pop_front();
    m_call = std::make_shared<Call>();
    m_call->home = &m_home;
    m_promptPatienceGiven = false;
    m_deadline.start(m_timeout);
    std::thread([call = m_call, work = m_running->work, this] {
        Items items;
        const Result result = work(*call, items);
        const std::lock_guard lock(call->mutex);
        if (!call->home)
            return; // abandoned: nobody waits for this answer any more
        QMetaObject::invokeMethod(
            call->home,
            [this, call, result, items] {
                if (call == m_call)
                    finish(result, items);
            },
            Qt::QueuedConnection);
    }).detach();
}

void LibsecretSecretStore::deadlineReached()
{
    if (!m_call)
        return;
    // A person at the prompt is never hurried: withdrawing it under them can even crash the keyring.
    if (m_call->prompting && !m_promptPatienceGiven) {
        m_promptPatienceGiven = true;
        m_deadline.start(m_promptPatience);
        return;
    }
    {
        const std::lock_guard lock(m_call->mutex);
        m_call->home = nullptr;
    }
    // The abandoned call ends on its own once cancelled.
    g_cancellable_cancel(m_call->cancellable);
    const std::chrono::milliseconds limit = m_promptPatienceGiven ? m_promptPatience : m_timeout;
    finish({Status::Unavailable, noAnswerProblem.arg(std::chrono::duration<double>(limit).count())}, {});
}

void LibsecretSecretStore::finish(const Result &result, const Items &items)
{
    m_deadline.stop();
    m_call.reset();
    const std::unique_ptr<Job> job = std::move(m_running);
    noteProblem(result);
    startNext();
    if (job && (!job->hasReceiver || job->receiver))
        job->done(result, result.status == Status::Done ? items : Items());
}

void LibsecretSecretStore::noteProblem(const Result &result)
{
    if (result.status == Status::Done) {
        m_available = true;
        return;
    }
    // One line per outage, not one per operation.
    if (m_available)
        Log::write(problemLine + result.problem.simplified()); // some services answer with several lines
    m_available = false;
}
