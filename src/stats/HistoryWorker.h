#pragma once

#include <QObject>
#include <QPointer>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

/// Runs the sign-in history's database work on a thread of its own, one piece at a time in the order
/// given, so that another process's transaction (or a long move of an earlier history) never holds up
/// the thread that asked. Each answer comes on the event loop of the thread that made the worker, never
/// inside the call that asked, in the order the pieces were given, and never after its receiver is gone.
class HistoryWorker
{
public:
    HistoryWorker();
    /// Finishes every piece given, then ends the thread.
    ~HistoryWorker();
    HistoryWorker(const HistoryWorker &) = delete;
    HistoryWorker &operator=(const HistoryWorker &) = delete;

    /// Runs `work` on the worker's thread, then `done` with its result on the home thread, unless
    /// `receiver` was given and is gone by then.
    template <typename Result>
    void run(std::function<Result()> work, const QObject *receiver, std::function<void(Result)> done)
    {
        post([work = std::move(work), guard = QPointer<const QObject>(receiver), hasReceiver = receiver != nullptr,
              done = std::move(done)]() -> Answer {
            return [result = work(), guard, hasReceiver, done] {
                if (!hasReceiver || guard)
                    done(result);
            };
        });
    }

    /// Waits up to `patience` for every piece given so far to end. When it has to give up, the pieces
    /// not started yet are dropped (their answers never come) and false is returned; the piece under
    /// way ends on its own.
    bool finish(std::chrono::milliseconds patience);

private:
    using Answer = std::function<void()>;
    using Piece = std::function<Answer()>;

    void post(Piece piece);
    void serve();

    /// Lives on the thread that made the worker: the answers arrive there.
    QObject m_home;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Piece> m_queue;
    bool m_working = false;
    bool m_stopping = false;
    std::thread m_thread; ///< last: started once everything it uses is there
};
