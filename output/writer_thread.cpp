#include "output/writer_thread.h"

#include "app/session.h"

namespace output {

bool WriterThread::idle() const {
    return !m_session.writerRunning.load();
}

bool WriterThread::start(std::function<void()> run) {
    bool expected = false;
    if (!m_session.writerRunning.compare_exchange_strong(expected, true))
        return false;
    std::lock_guard lock(m_mutex);
    if (m_thread.joinable())
        m_thread.join();  // the previous run has released the flag: it is at its end
    m_thread = std::thread([this, run = std::move(run)] {
        struct Release {
            app::Session& session;
            ~Release() { session.writerRunning.store(false); }
        } release{m_session};
        run();
    });
    return true;
}

void WriterThread::wait() {
    std::lock_guard lock(m_mutex);
    if (m_thread.joinable())
        m_thread.join();
}

}  // namespace output
