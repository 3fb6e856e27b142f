#include "editor_core/gl_thread.h"

#include <exception>
#include <future>

namespace ruvovav::editor {
namespace {

std::mutex holderMutex;
std::weak_ptr<GlThread> holder;

}  // namespace

std::shared_ptr<GlThread> GlThread::shared() {
    const std::lock_guard lock(holderMutex);
    std::shared_ptr<GlThread> thread = holder.lock();
    if (!thread) {
        thread = std::make_shared<GlThread>();
        holder = thread;
    }
    return thread;
}

bool GlThread::running() {
    const std::lock_guard lock(holderMutex);
    return !holder.expired();
}

GlThread::GlThread() : worker_([this] { loop(); }) {}

GlThread::~GlThread() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    worker_.join();
}

void GlThread::run(const std::function<void()>& task) {
    if (isCurrent()) {
        task();  // called from a task: waiting for the queue would wait forever
        return;
    }
    std::packaged_task<void()> packaged(task);
    std::future<void> done = packaged.get_future();
    {
        const std::lock_guard lock(mutex_);
        tasks_.emplace_back([&packaged] { packaged(); });
    }
    wake_.notify_one();
    done.get();
}

void GlThread::loop() {
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
            if (tasks_.empty()) return;  // stopping, and nothing is left to do
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        task();
    }
}

}  // namespace ruvovav::editor
