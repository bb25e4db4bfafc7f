// The threads of a selection run that share its independent work (the
// profile fits, the refits of the diagnosis): a queue of tasks that worker
// threads and the threads waiting for a result take in the order queued.
// Counts are of threads; indices of forEach are 0-based.
#pragma once

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace selection {

// The threads a run uses for --threads n: n, or for n = 0 every core the
// system reports (at least 1).
int runThreads(int n);

class WorkPool {
  public:
    // One piece of work, run once by whichever thread takes it first.
    class Task {
      public:
        explicit Task(std::function<void()> work) : work_(std::move(work)) {}

      private:
        friend class WorkPool;
        enum class State { kQueued, kRunning, kDone };
        std::function<void()> work_;
        State state_ = State::kQueued;  // guarded by the pool's mutex
        std::exception_ptr error_;      // what the work threw
    };
    using TaskPtr = std::shared_ptr<Task>;

    // threads: the threads that share the work, the caller's included, so
    // that threads - 1 workers are started (none for threads <= 1). A worker
    // the system refuses to start is left out: the pool then has fewer.
    explicit WorkPool(int threads);
    // Drops the work nobody has started and waits for the workers to finish
    // what they are running.
    ~WorkPool();
    WorkPool(WorkPool const&) = delete;
    WorkPool& operator=(WorkPool const&) = delete;

    // The workers and the caller.
    int threads() const { return static_cast<int>(workers_.size()) + 1; }

    // Queues work. Whatever it reads and writes must be its own, or left
    // alone by every other thread until wait() returns for it.
    TaskPtr submit(std::function<void()> work);

    // Returns once task has run: runs it on this thread when no worker has
    // started it, and while a worker runs it, runs other queued work. An
    // exception that the work threw is thrown here.
    void wait(Task& task);

    // Drops task when no thread has started it; a started task runs to its end.
    void cancel(Task& task);

    // Runs work(k) for k = 0..n-1, each once, on the workers and this thread,
    // and returns when all have run; then throws the exception of the lowest
    // k whose work threw, if any.
    void forEach(int n, std::function<void(int)> const& work);

  private:
    void workerLoop_();
    // Runs task (claimed by this thread) with the lock released.
    void run_(Task& task, std::unique_lock<std::mutex>& lock);
    // The first queued task not yet claimed, removed from the queue; nullptr
    // when there is none.
    TaskPtr takeQueued_();

    std::mutex mutex_;
    std::condition_variable workQueued_;  // a task queued, or the pool stops
    std::condition_variable taskDone_;    // a task has run
    std::deque<TaskPtr> queue_;
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};

}  // namespace selection
