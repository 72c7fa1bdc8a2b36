// WorkerPool: a few threads that share a loop of independent calls with the
// thread that runs the loop.
//
// The walk spends most of its time in the kernel, one lstat per entry; the
// calls of one directory do not depend on each other, so they can run on
// several cores while the walk itself stays on one thread and in its order.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>
#include <vector>

namespace vorlex {

class WorkerPool {
 public:
  // Starts up to `workers` threads; when the system refuses one, the pool
  // keeps those it has (with none, every loop runs on the caller alone).
  explicit WorkerPool(unsigned workers);
  // Stops and joins every worker.
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  // The number of threads that help the caller.
  unsigned workers() const { return static_cast<unsigned>(threads_.size()); }

  // Calls body(begin, end) for consecutive slices of [0, count), each at most
  // `slice` long, on the caller and the workers together, and returns once
  // every slice is done; what the slices wrote is then visible to the caller.
  // Slices must not depend on each other and `body` must not throw. Only one
  // thread at a time may run loops on one pool.
  template <typename Body>
  void ForEachSlice(std::size_t count, std::size_t slice, Body& body) {
    Run(count, slice, &body, [](void* context, std::size_t begin, std::size_t end) {
      (*static_cast<Body*>(context))(begin, end);
    });
  }

 private:
  using SliceFunction = void (*)(void* context, std::size_t begin, std::size_t end);
  struct Loop;

  void Run(std::size_t count, std::size_t slice, void* context, SliceFunction function);
  void Serve();

  std::mutex mutex_;
  std::condition_variable work_ready_;
  std::condition_variable work_done_;
  // The loop being run, or null; workers pick it up only under mutex_.
  Loop* loop_ = nullptr;
  // Counts the loops posted, so a worker takes each loop at most once.
  unsigned long long generation_ = 0;
  // Workers inside the current loop; the caller waits for none to be left.
  unsigned busy_ = 0;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace vorlex
