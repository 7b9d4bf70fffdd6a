#include "stats/HistoryWorker.h"

HistoryWorker::HistoryWorker() : m_thread([this] { serve(); })
{
}

HistoryWorker::~HistoryWorker()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    m_thread.join(); // before m_home goes: the thread posts answers to it
}

void HistoryWorker::post(Piece piece)
{
    {
        const std::lock_guard lock(m_mutex);
        m_queue.push_back(std::move(piece));
    }
    m_changed.notify_all();
}

void HistoryWorker::serve()
{
    for (;;) {
        Piece piece;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
            if (m_queue.empty())
                return; // stopping, and everything given is done
            piece = std::move(m_queue.front());
            m_queue.pop_front();
            m_working = true;
        }
        QMetaObject::invokeMethod(&m_home, piece(), Qt::QueuedConnection);
        {
            const std::lock_guard lock(m_mutex);
            m_working = false;
        }
        m_changed.notify_all();
    }
}

bool HistoryWorker::finish(std::chrono::milliseconds patience)
{
    std::unique_lock lock(m_mutex);
    if (m_changed.wait_for(lock, patience, [this] { return m_queue.empty() && !m_working; }))
        return true;
    const std::deque<Piece> dropped = std::exchange(m_queue, {});
    lock.unlock(); // the pieces' captures go without the lock held
    return false;
}
