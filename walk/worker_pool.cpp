#include "walk/worker_pool.h"

#include <algorithm>
#include <system_error>

namespace vorlex {

void WorkerPool::Loop::RunSlices() {
  for (;;) {
    std::size_t begin = next_.fetch_add(slice_, std::memory_order_relaxed);
    if (begin >= count_) return;
    function_(context_, begin, std::min(count_, begin + slice_));
  }
}

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
  if (loop_ != nullptr) Finish(*loop_);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  work_ready_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

void WorkerPool::Post(Loop& loop, std::size_t count, std::size_t slice, void* context,
                      Loop::SliceFunction function) {
  if (loop_ != nullptr) Finish(*loop_);
  Finish(loop);
  loop.count_ = count;
  loop.slice_ = std::max<std::size_t>(slice, 1);
  loop.context_ = context;
  loop.function_ = function;
  loop.next_.store(0, std::memory_order_relaxed);
  loop.started_ = true;
  // A single slice is not worth waking anyone for: Finish runs it.
  loop.posted_ = !threads_.empty() && count > loop.slice_;
  if (!loop.posted_) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    loop_ = &loop;
    ++generation_;
  }
  work_ready_.notify_all();
}

void WorkerPool::Finish(Loop& loop) {
  if (!loop.started_) return;
  loop.RunSlices();
  if (loop.posted_) {
    // Every slice is taken; withdraw the loop so that no late worker picks
    // it up, then wait for those inside it to finish their last slice.
    std::unique_lock<std::mutex> lock(mutex_);
    if (loop_ == &loop) loop_ = nullptr;
    work_done_.wait(lock, [this] { return busy_ == 0; });
  }
  loop.started_ = false;
  loop.posted_ = false;
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
