#include "select/work_pool.h"

#include <system_error>

namespace selection {

int runThreads(int n) {
    if (n > 0) return n;
    unsigned const cores = std::thread::hardware_concurrency();  // 0 when unknown
    return cores > 0 ? static_cast<int>(cores) : 1;
}

WorkPool::WorkPool(int threads) {
    for (int k = 1; k < threads; ++k) {
        try {
            workers_.emplace_back([this] { workerLoop_(); });
        } catch (std::system_error const&) {
            break;  // the system has no more threads to give: work with those there are
        }
    }
}

WorkPool::~WorkPool() {
    {
        std::lock_guard<std::mutex> const lock(mutex_);
        stopping_ = true;
        for (TaskPtr const& task : queue_)
            if (task->state_ == Task::State::kQueued) {
                task->state_ = Task::State::kDone;
                task->work_ = nullptr;
            }
        queue_.clear();
    }
    workQueued_.notify_all();
    for (std::thread& worker : workers_) worker.join();
}

WorkPool::TaskPtr WorkPool::submit(std::function<void()> work) {
    TaskPtr task = std::make_shared<Task>(std::move(work));
    {
        std::lock_guard<std::mutex> const lock(mutex_);
        queue_.push_back(task);
    }
    workQueued_.notify_one();
    return task;
}

void WorkPool::run_(Task& task, std::unique_lock<std::mutex>& lock) {
    task.state_ = Task::State::kRunning;
    lock.unlock();
    try {
        task.work_();
    } catch (...) {
        task.error_ = std::current_exception();
    }
    task.work_ = nullptr;  // what the work holds is released by the thread that ran it
    lock.lock();
    task.state_ = Task::State::kDone;
    taskDone_.notify_all();
}

WorkPool::TaskPtr WorkPool::takeQueued_() {
    while (!queue_.empty()) {
        TaskPtr task = std::move(queue_.front());
        queue_.pop_front();
        // A task that wait() ran or cancel() dropped stays queued until here.
        if (task->state_ == Task::State::kQueued) return task;
    }
    return nullptr;
}

void WorkPool::workerLoop_() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        workQueued_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (stopping_) return;
        TaskPtr const task = takeQueued_();
        if (task) run_(*task, lock);
    }
}

void WorkPool::wait(Task& task) {
    std::unique_lock<std::mutex> lock(mutex_);
    while (task.state_ != Task::State::kDone) {
        if (task.state_ == Task::State::kQueued) {
            run_(task, lock);
            continue;
        }
        // A worker runs it: meanwhile this thread takes on queued work.
        if (TaskPtr const other = takeQueued_()) {
            run_(*other, lock);
            continue;
        }
        taskDone_.wait(lock);
    }
    if (task.error_) std::rethrow_exception(task.error_);
}

void WorkPool::cancel(Task& task) {
    std::lock_guard<std::mutex> const lock(mutex_);
    if (task.state_ == Task::State::kQueued) {
        task.state_ = Task::State::kDone;
        task.work_ = nullptr;
    }
}

void WorkPool::forEach(int n, std::function<void(int)> const& work) {
    std::vector<TaskPtr> tasks;
    for (int k = 0; k < n; ++k) tasks.push_back(submit([&work, k] { work(k); }));
    // Every task runs before anything is thrown: they refer to work.
    std::exception_ptr first;
    for (TaskPtr const& task : tasks) {
        try {
            wait(*task);
        } catch (...) {
            if (!first) first = std::current_exception();
        }
    }
    if (first) std::rethrow_exception(first);
}

}  // namespace selection
