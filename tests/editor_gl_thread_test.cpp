// The GL thread's queue on its own, with plain tasks (no GL): one thread runs every task,
// in turn, and a holder-less thread is gone.
#include <gtest/gtest.h>

#include <dirent.h>

#include <stdexcept>
#include <thread>
#include <vector>

#include "editor_core/gl_thread.h"

namespace ruvovav::editor {
namespace {

int threadsOfProcess() {
    int count = 0;
    DIR* tasks = opendir("/proc/self/task");
    if (tasks == nullptr) return -1;
    while (const dirent* entry = readdir(tasks)) count += entry->d_name[0] != '.';
    closedir(tasks);
    return count;
}

TEST(GlThread, RunsEveryTaskOnOneOtherThread) {
    const std::shared_ptr<GlThread> thread = GlThread::shared();
    std::thread::id first, second;
    thread->run([&] { first = std::this_thread::get_id(); });
    thread->run([&] { second = std::this_thread::get_id(); });
    EXPECT_NE(first, std::this_thread::get_id());
    EXPECT_EQ(first, second);
    EXPECT_EQ(GlThread::shared(), thread);
}

TEST(GlThread, HandsBackWhatATaskThrows) {
    const std::shared_ptr<GlThread> thread = GlThread::shared();
    EXPECT_THROW(thread->run([] { throw std::runtime_error("refused"); }), std::runtime_error);
    bool ran = false;
    thread->run([&] { ran = true; });
    EXPECT_TRUE(ran);
}

TEST(GlThread, RunsTasksFromManyThreadsOneAfterTheOther) {
    const std::shared_ptr<GlThread> thread = GlThread::shared();
    int counter = 0;  // no lock: the tasks never overlap
    std::vector<std::thread> callers;
    for (int c = 0; c < 4; ++c) {
        callers.emplace_back([&] {
            for (int i = 0; i < 100; ++i) thread->run([&] { ++counter; });
        });
    }
    for (std::thread& caller : callers) caller.join();
    EXPECT_EQ(counter, 400);
}

TEST(GlThread, EndsWithItsLastHolderOnAnyThread) {
    const int before = threadsOfProcess();
    std::shared_ptr<GlThread> thread = GlThread::shared();
    EXPECT_TRUE(GlThread::running());
    EXPECT_EQ(threadsOfProcess(), before + 1);
    std::thread([held = std::move(thread)]() mutable { held.reset(); }).join();
    EXPECT_FALSE(GlThread::running());
    EXPECT_EQ(threadsOfProcess(), before);
}

}  // namespace
}  // namespace ruvovav::editor
