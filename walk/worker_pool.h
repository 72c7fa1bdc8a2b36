// WorkerPool: a few threads that share loops of independent calls with the
// thread that runs the loops.
//
// The walk spends most of its time in the kernel, one lstat per entry; the
// calls of one directory do not depend on each other, so they can run on
// other cores while the walk itself stays on one thread and in its order.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>
#include <vector>

namespace vorlex {

class WorkerPool {
 public:
  // One loop over [0, count) in slices. Started, it is handed out slice by
  // slice to the workers; Finish has the caller take what is left and wait
  // for the rest. The loop and its body must outlive Finish.
  class Loop {
   public:
    Loop() = default;
    Loop(const Loop&) = delete;
    Loop& operator=(const Loop&) = delete;

   private:
    friend class WorkerPool;
    using SliceFunction = void (*)(void* context, std::size_t begin, std::size_t end);

    // Takes and runs slices until none is left.
    void RunSlices();

    std::size_t count_ = 0;
    std::size_t slice_ = 1;
    void* context_ = nullptr;
    SliceFunction function_ = nullptr;
    std::atomic<std::size_t> next_{0};
    bool started_ = false;  // between Start and Finish
    bool posted_ = false;   // offered to the workers
  };

  // Starts up to `workers` threads; when the system refuses one, the pool
  // keeps those it has (with none, every loop runs on the caller alone).
  explicit WorkerPool(unsigned workers);
  // Stops and joins every worker. No loop may be left unfinished.
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  // The number of threads that help the caller.
  unsigned workers() const { return static_cast<unsigned>(threads_.size()); }

  // Offers body(begin, end) for consecutive slices of [0, count), each at
  // most `slice` long, to the workers, and returns at once. Slices must not
  // depend on each other and `body` must not throw. One loop is out at a
  // time: a loop still out is finished first. Only one thread may start and
  // finish loops on one pool.
  template <typename Body>
  void Start(Loop& loop, std::size_t count, std::size_t slice, Body& body) {
    Post(loop, count, slice, &body, [](void* context, std::size_t begin, std::size_t end) {
      (*static_cast<Body*>(context))(begin, end);
    });
  }

  // Runs the slices of `loop` that no worker took yet on the caller, then
  // waits for those a worker took. Afterwards everything the slices wrote is
  // visible to the caller. Harmless for a loop that is not started.
  void Finish(Loop& loop);

  // Start and Finish in one: the caller and the workers run the loop
  // together.
  template <typename Body>
  void ForEachSlice(std::size_t count, std::size_t slice, Body& body) {
    Loop loop;
    Start(loop, count, slice, body);
    Finish(loop);
  }

 private:
  void Post(Loop& loop, std::size_t count, std::size_t slice, void* context,
            Loop::SliceFunction function);
  void Serve();

  std::mutex mutex_;
  std::condition_variable work_ready_;
  std::condition_variable work_done_;
  // The loop offered to the workers, or null; they pick it up only under
  // mutex_.
  Loop* loop_ = nullptr;
  // Counts the loops offered, so a worker takes each loop at most once.
  unsigned long long generation_ = 0;
  // Workers inside the offered loop; Finish waits for none to be left.
  unsigned busy_ = 0;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace vorlex
