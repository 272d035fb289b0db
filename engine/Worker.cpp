// A task that raises must not end the thread: the engine's operations catch their own errors, and
// anything that still escapes is logged here and the next task runs.
#include "engine/Worker.h"

#include "store/AgentLog.h"

#include <exception>
#include <future>
#include <string>

namespace pavona {

TWorker::TWorker() : FThread([this] { Run(); }) {}

TWorker::~TWorker() {
    {
        std::lock_guard lock(FLock);
        FStopping = true;
        FTasks.clear();
    }
    FWake.notify_all();
    FThread.join();
}

bool TWorker::Post(std::function<void()> task) {
    {
        std::lock_guard lock(FLock);
        if (FStopping) return false;
        FTasks.push_back(std::move(task));
    }
    FWake.notify_one();
    return true;
}

void TWorker::Drain() {
    std::promise<void> done;
    std::future<void> waited = done.get_future();
    if (Post([&done] { done.set_value(); })) waited.wait();
}

bool TWorker::OnWorker() const {
    return std::this_thread::get_id() == FThread.get_id();
}

void TWorker::Run() {
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock lock(FLock);
            FWake.wait(lock, [this] { return FStopping || !FTasks.empty(); });
            if (FStopping) return;
            task = std::move(FTasks.front());
            FTasks.pop_front();
        }
        try {
            task();
        } catch (const std::exception& e) {
            LogError("수집", std::string("작업을 마치지 못했습니다 — ") + e.what());
        } catch (...) {
            LogError("수집", "작업을 마치지 못했습니다 — 알 수 없는 오류");
        }
    }
}

} // namespace pavona
