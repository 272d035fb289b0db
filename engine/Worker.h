// One thread that runs the tasks given to it one at a time, in the order they were given.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace pavona {

class TWorker {
  public:
    TWorker();
    // Lets the running task finish, drops the waiting ones and joins the thread.
    ~TWorker();
    TWorker(const TWorker&) = delete;
    TWorker& operator=(const TWorker&) = delete;

    // Queues a task; it runs after every task given before it. Safe from any thread. False once
    // the worker is being destroyed (the task is dropped).
    bool Post(std::function<void()> task);
    // Returns once every task given before this call has run (not from the worker's own thread).
    void Drain();
    // True on the worker's own thread.
    bool OnWorker() const;

  private:
    void Run();

    mutable std::mutex FLock;
    std::condition_variable FWake;
    std::deque<std::function<void()>> FTasks;
    bool FStopping = false;
    std::thread FThread;
};

} // namespace pavona
