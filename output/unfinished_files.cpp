#include "output/unfinished_files.h"

#include <signal.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstddef>

namespace output {
namespace {

constexpr std::size_t kSlots = 64;
constexpr std::size_t kPathBytes = 4096;

// A name is written and read under a sequence count (odd while it changes),
// so that a handler running beside a writing thread copies a whole name or
// none. The characters are atomics: the handler may read them while they
// are written.
struct Slot {
    std::atomic<bool> taken{false};
    std::atomic<unsigned> sequence{0};
    std::array<std::atomic<char>, kPathBytes> path{};
};

std::array<Slot, kSlots> g_slots;

void setPath(Slot& slot, const char* path, std::size_t length) noexcept {
    slot.sequence.fetch_add(1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    for (std::size_t i = 0; i < length; ++i) slot.path[i].store(path[i], std::memory_order_relaxed);
    slot.path[length].store('\0', std::memory_order_relaxed);
    slot.sequence.fetch_add(1, std::memory_order_release);
}

void onSignal(int signal) {
    removeUnfinishedFiles();
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

}  // namespace

int noteUnfinished(const char* path) noexcept {
    std::size_t length = 0;
    while (path[length] != '\0') {
        if (++length >= kPathBytes)
            return -1;
    }
    for (std::size_t i = 0; i < kSlots; ++i) {
        bool expected = false;
        if (g_slots[i].taken.compare_exchange_strong(expected, true, std::memory_order_acquire)) {
            setPath(g_slots[i], path, length);
            return static_cast<int>(i);
        }
    }
    return -1;
}

void forgetUnfinished(int slot) noexcept {
    if (slot < 0 || static_cast<std::size_t>(slot) >= kSlots)
        return;
    setPath(g_slots[static_cast<std::size_t>(slot)], "", 0);
    g_slots[static_cast<std::size_t>(slot)].taken.store(false, std::memory_order_release);
}

void removeUnfinishedFiles() noexcept {
    for (Slot& slot : g_slots) {
        const unsigned before = slot.sequence.load(std::memory_order_acquire);
        if ((before & 1u) != 0)
            continue;  // being changed: a file not yet made or already renamed
        char path[kPathBytes];
        std::size_t i = 0;
        for (; i + 1 < kPathBytes; ++i) {
            path[i] = slot.path[i].load(std::memory_order_relaxed);
            if (path[i] == '\0')
                break;
        }
        path[i] = '\0';
        std::atomic_thread_fence(std::memory_order_acquire);
        if (slot.sequence.load(std::memory_order_relaxed) != before || path[0] == '\0')
            continue;
        ::unlink(path);
    }
}

void removeUnfinishedFilesOnSignals() {
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        // A signal the program was started ignoring (nohup) stays ignored.
        struct sigaction earlier {};
        if (::sigaction(signal, nullptr, &earlier) == 0 && earlier.sa_handler == SIG_IGN)
            continue;
        ::sigaction(signal, &action, nullptr);
    }
}

}  // namespace output
