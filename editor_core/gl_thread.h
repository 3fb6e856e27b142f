// The one thread of the process on which the effect's OpenGL work runs.
//
// Editors call a filter from threads that may hold GL or GLX contexts of their own, where
// making another context current can fail or disturb them. So every GL call we make runs
// here, on a thread no editor code ever sees: callers post a task and wait for it.
//
// The thread lives while someone holds it: the first holder starts it, the last one joins
// it. Holders are plug-in instances, so nothing runs here once every instance is gone and
// the library can be unloaded.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace ruvovav::editor {

class GlThread {
public:
    // The process's thread, started when nobody holds it yet.
    static std::shared_ptr<GlThread> shared();
    // Whether some holder keeps the thread running now.
    static bool running();

    GlThread();
    ~GlThread();  // joins; must not run on the thread itself
    GlThread(const GlThread&) = delete;
    GlThread& operator=(const GlThread&) = delete;

    // Runs `task` on the thread and waits for it; what it throws is rethrown here. Tasks
    // from several callers run one after the other. Tasks must not hold the thread.
    void run(const std::function<void()>& task);
    bool isCurrent() const { return std::this_thread::get_id() == worker_.get_id(); }

private:
    void loop();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> tasks_;
    bool stopping_ = false;
    std::thread worker_;  // last: started once the queue exists
};

}  // namespace ruvovav::editor
