#include "walk/worker_pool.h"

#include <algorithm>
#include <atomic>
#include <system_error>

namespace vorlex {

// One loop: its slices go to whoever asks next, the caller included.
struct WorkerPool::Loop {
  std::size_t count = 0;
  std::size_t slice = 1;
  void* context = nullptr;
  SliceFunction function = nullptr;
  std::atomic<std::size_t> next{0};

  // Takes and runs slices until none is left.
  void RunSlices() {
    for (;;) {
      std::size_t begin = next.fetch_add(slice, std::memory_order_relaxed);
      if (begin >= count) return;
      function(context, begin, std::min(count, begin + slice));
    }
  }
};

WorkerPool::WorkerPool(unsigned workers) {
  threads_.reserve(workers);
  for (unsigned i = 0; i < workers; ++i) {
    try {
      threads_.emplace_back([this] { Serve(); });
    } catch (const std::system_error&) {
      break;  // fewer helpers, same results
    }
  }
}

WorkerPool::~WorkerPool() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  work_ready_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

void WorkerPool::Run(std::size_t count, std::size_t slice, void* context,
                     SliceFunction function) {
  if (count == 0) return;
  Loop loop;
  loop.count = count;
  loop.slice = std::max<std::size_t>(slice, 1);
  loop.context = context;
  loop.function = function;
  // One slice is not worth waking anyone for.
  if (threads_.empty() || count <= loop.slice) {
    loop.RunSlices();
    return;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    loop_ = &loop;
    ++generation_;
  }
  work_ready_.notify_all();
  loop.RunSlices();
  // Every slice is taken; withdraw the loop so that no late worker picks it
  // up, then wait for those inside it to finish their last slice. `loop`
  // lives on this stack frame, so nobody may hold it after the return.
  std::unique_lock<std::mutex> lock(mutex_);
  loop_ = nullptr;
  work_done_.wait(lock, [this] { return busy_ == 0; });
}

// A worker's life: wait for a loop it has not served yet, help with it,
// report back.
void WorkerPool::Serve() {
  unsigned long long served = 0;
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    work_ready_.wait(lock, [this, served] {
      return stopping_ || (loop_ != nullptr && generation_ != served);
    });
    if (stopping_) return;
    served = generation_;
    Loop* loop = loop_;
    ++busy_;
    lock.unlock();
    loop->RunSlices();
    lock.lock();
    if (--busy_ == 0) work_done_.notify_one();
  }
}

}  // namespace vorlex
