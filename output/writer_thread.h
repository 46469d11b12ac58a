#pragma once
// The thread of a writer run. One run at a time: a start while a run is
// active is refused (the session's `writerRunning` flag), so a second Save,
// PDF, HTML or e-mail command cannot overlap the first.

#include <functional>
#include <mutex>
#include <thread>

namespace app {
struct Session;
}

namespace output {

class WriterThread {
public:
    explicit WriterThread(app::Session& session) : m_session(session) {}
    ~WriterThread() { wait(); }
    WriterThread(const WriterThread&) = delete;
    WriterThread& operator=(const WriterThread&) = delete;

    // True when no run is active (the flag is not taken).
    bool idle() const;
    // Starts `run` on a thread of its own; false (and `run` is not called)
    // while another run is active. The flag is released when `run` returns,
    // whichever way it leaves.
    bool start(std::function<void()> run);
    // Waits for the last run started here to end.
    void wait();

private:
    app::Session& m_session;
    std::mutex m_mutex;
    std::thread m_thread;
};

}  // namespace output
