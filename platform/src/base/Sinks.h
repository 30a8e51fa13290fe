// The callbacks that watch the log's records and the trace's events, kept one way for both.
// Any thread adds and removes them. They are called outside the list's lock, one call of
// the list at a time (so a callback need not be thread-safe), and the calling thread may
// re-enter: a callback may log, trace, or add and remove callbacks itself.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace base {

template <class Item>
class Sinks {
public:
    using Sink = std::function<void(const Item&)>;

    // Returns a token for Remove.
    int Add(Sink sink)
    {
        auto entry = std::make_shared<Entry>();
        entry->sink = std::move(sink);
        std::lock_guard<std::mutex> lock(m_mutex);
        const int token = m_nextToken++;
        entry->token = token;
        m_entries.push_back(std::move(entry));
        return token;
    }

    // Once this returns the sink is not called again and no call of it runs on another
    // thread, so what it captured may go. Called from a sink, it does not wait for the
    // call it is in.
    void Remove(int token)
    {
        // Declared first, so what the sink captured goes after the locks are let go.
        std::shared_ptr<Entry> gone;
        const std::lock_guard<std::recursive_mutex> calling(m_calling);
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
            if ((*it)->token == token) {
                gone = std::move(*it);
                gone->removed = true;
                m_entries.erase(it);
                return;
            }
        }
    }

    bool Empty() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_entries.empty();
    }

    // Calls every sink with `item`, in the order they were added.
    void Call(const Item& item) const
    {
        const std::lock_guard<std::recursive_mutex> calling(m_calling);
        std::vector<std::shared_ptr<Entry>> entries;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            entries = m_entries;
        }
        for (const auto& entry : entries) {
            // A sink called before this one may have removed it.
            if (!entry->removed) {
                entry->sink(item);
            }
        }
    }

private:
    struct Entry {
        Sink sink;
        int token = 0;
        bool removed = false; // written and read only while holding m_calling
    };

    // Held while sinks are called and while one is removed; the list itself is guarded by
    // m_mutex, which no sink runs under.
    mutable std::recursive_mutex m_calling;
    mutable std::mutex m_mutex;
    std::vector<std::shared_ptr<Entry>> m_entries;
    int m_nextToken = 1;
};

} // namespace base
