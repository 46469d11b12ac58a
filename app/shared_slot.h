#pragma once
// A value shared between threads that is swapped whole: readers take a
// reference-counted snapshot, writers replace it under a short lock.

#include <memory>
#include <mutex>

namespace app {

template <class T>
class SharedSlot {
public:
    std::shared_ptr<const T> load() const {
        std::lock_guard lock(m_mutex);
        return m_value;
    }
    void store(std::shared_ptr<const T> value) {
        std::lock_guard lock(m_mutex);
        m_value = std::move(value);
    }

private:
    mutable std::mutex m_mutex;
    std::shared_ptr<const T> m_value;
};

}  // namespace app
