#include "platform/linux/LibsecretSecretStore.h"

#include "common/Log.h"

#include <libsecret/secret.h>

#include <condition_variable>
#include <memory>
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

// Takes over a GError, giving its message as the call's problem.
QString takeProblem(GError *error)
{
    if (!error)
        return {};
    QString problem = QString::fromUtf8(error->message);
    g_error_free(error);
    return problem.isEmpty() ? QStringLiteral("unknown error") : problem;
}

// Lookups and clears pass over a locked item without an error when its unlock prompt was dismissed
// or could not be shown; this tells such an item apart from a missing one. An empty `account`
// matches every item of the service.
QString lockedItemProblem(GCancellable *cancel, const QByteArray &service, const QByteArray &account = {})
{
    GHashTable *attributes = account.isEmpty()
        ? secret_attributes_build(schema(), serviceAttribute, service.constData(), nullptr)
        : secret_attributes_build(schema(), serviceAttribute, service.constData(), accountAttribute,
                                  account.constData(), nullptr);
    GError *error = nullptr;
    GList *items = secret_service_search_sync(nullptr, schema(), attributes, SECRET_SEARCH_ALL, cancel, &error);
    g_hash_table_unref(attributes);
    bool locked = false;
    for (GList *item = items; item; item = item->next)
        locked = locked || secret_item_get_locked(SECRET_ITEM(item->data));
    g_list_free_full(items, g_object_unref);
    if (error)
        return takeProblem(error);
    return locked ? lockedProblem : QString();
}

// What one libsecret call returned.
struct Reply
{
    QString problem; // why the service could not carry out the call; empty on success
    std::optional<QByteArray> data;
};

// Shared by the caller and the worker so that an abandoned worker still finds it alive.
struct CallState
{
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    Reply reply;
    GCancellable *cancellable = g_cancellable_new();

    ~CallState() { g_object_unref(cancellable); }
};

// Runs `work` on a worker thread and waits for it until `deadline`; a deadline already past fails
// at once, without a call. `timeout` names the limit in the failure.
Reply runBounded(std::chrono::steady_clock::time_point deadline, std::chrono::milliseconds timeout,
                 std::function<Reply(GCancellable *)> work)
{
    const Reply noAnswer{noAnswerProblem.arg(std::chrono::duration<double>(timeout).count()), std::nullopt};
    if (std::chrono::steady_clock::now() >= deadline)
        return noAnswer;
    // libsecret's synchronous calls iterate a private GLib context of the calling thread, never the
    // program's event loop; the worker thread is what lets the caller stop waiting.
    auto state = std::make_shared<CallState>();
    std::thread worker([state, work = std::move(work)] {
        Reply reply = work(state->cancellable);
        const std::lock_guard lock(state->mutex);
        state->reply = std::move(reply);
        state->done = true;
        state->finished.notify_all();
    });

    std::unique_lock lock(state->mutex);
    if (!state->finished.wait_until(lock, deadline, [&state] { return state->done; })) {
        lock.unlock();
        // The cancelled call ends on its own; nobody waits for it any more.
        g_cancellable_cancel(state->cancellable);
        worker.detach();
        return noAnswer;
    }
    Reply reply = std::move(state->reply);
    lock.unlock();
    worker.join();
    return reply;
}

} // namespace

LibsecretSecretStore::LibsecretSecretStore(std::chrono::milliseconds timeout)
    : m_timeout(timeout)
{
}

bool LibsecretSecretStore::addItem(const QString &service, const QString &account, const QByteArray &data)
{
    const Reply reply = runBounded(deadline(), m_timeout, [service = service.toUtf8(), account = account.toUtf8(), data](GCancellable *cancel) {
        // Secret Service items always show a label in keyring managers.
        const QByteArray label = service + '/' + account;
        SecretValue *value = secret_value_new(data.constData(), data.size(), contentType);
        GError *error = nullptr;
        secret_password_store_binary_sync(schema(), SECRET_COLLECTION_DEFAULT, label.constData(), value, cancel,
                                          &error, serviceAttribute, service.constData(), accountAttribute,
                                          account.constData(), nullptr);
        secret_value_unref(value);
        return Reply{takeProblem(error), std::nullopt};
    });
    noteProblem(reply.problem);
    return reply.problem.isEmpty();
}

std::optional<QByteArray> LibsecretSecretStore::findItem(const QString &service, const QString &account)
{
    const Reply reply = runBounded(deadline(), m_timeout, [service = service.toUtf8(), account = account.toUtf8()](GCancellable *cancel) {
               GError *error = nullptr;
               SecretValue *value =
                   secret_password_lookup_binary_sync(schema(), cancel, &error, serviceAttribute, service.constData(),
                                                      accountAttribute, account.constData(), nullptr);
               Reply reply{takeProblem(error), std::nullopt};
               if (value) {
                   gsize length = 0;
                   const gchar *bytes = secret_value_get(value, &length);
                   reply.data = QByteArray(bytes, qsizetype(length));
                   secret_value_unref(value);
               } else if (reply.problem.isEmpty()) {
                   reply.problem = lockedItemProblem(cancel, service, account);
               }
               return reply;
           });
    noteProblem(reply.problem);
    return reply.data;
}

bool LibsecretSecretStore::deleteItems(const QString &service)
{
    const Reply reply = runBounded(deadline(), m_timeout, [service = service.toUtf8()](GCancellable *cancel) {
        GError *error = nullptr;
        // Clears every item that matches, whatever its account.
        secret_password_clear_sync(schema(), cancel, &error, serviceAttribute, service.constData(), nullptr);
        const QString problem = takeProblem(error);
        return Reply{problem.isEmpty() ? lockedItemProblem(cancel, service) : problem, std::nullopt};
    });
    noteProblem(reply.problem);
    return reply.problem.isEmpty();
}

void LibsecretSecretStore::beginOperation()
{
    if (m_operationDepth++ == 0)
        m_operationDeadline = std::chrono::steady_clock::now() + m_timeout;
}

void LibsecretSecretStore::endOperation()
{
    --m_operationDepth;
}

std::chrono::steady_clock::time_point LibsecretSecretStore::deadline() const
{
    return m_operationDepth > 0 ? m_operationDeadline : std::chrono::steady_clock::now() + m_timeout;
}

bool LibsecretSecretStore::isAvailable() const
{
    return m_available;
}

void LibsecretSecretStore::noteProblem(const QString &problem)
{
    if (problem.isEmpty()) {
        m_available = true;
        return;
    }
    // One line per outage, not one per call: a save alone makes three calls.
    if (m_available)
        Log::write(problemLine + problem.simplified()); // some services answer with several lines
    m_available = false;
}
