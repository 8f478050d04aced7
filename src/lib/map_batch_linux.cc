#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "level/level_save.h"
#include "lib/map_batch.h"

// The maps of a window, each staged (written and checked) as it is added,
// its data sent to the disk at once; at the end of the window all their
// flushes are made side by side, so that the file system commits them
// together, then the renames. The threads last as long as the batch.
class map_batch_window {
 public:
  ~map_batch_window() {
    {
      const std::lock_guard<std::mutex> held(lock_);
      stopping_ = true;
    }
    more_.notify_all();
    for (std::thread& thread : threads_) thread.join();
  }

  void add(map_batch::entry& e) {
    auto stage = std::make_unique<save_stage>();
    if (e.how.check_only) {
      e.result = e.map->save(e.how, e.saved);
      stage.reset();
    } else if (e.result = e.map->stage_save(e.how, *stage); !e.result.is_ok()) {
      stage.reset();
    } else {
      stage->file.start_writeback();
    }
    const std::lock_guard<std::mutex> held(lock_);
    stages_.push_back(std::move(stage));
    flushed_.push_back(status::ok());
  }

  void end(std::span<map_batch::entry> entries) {
    flush_all();
    // Renamed in the order added, each folder flushed once after its renames.
    std::vector<std::string> folders;
    for (std::size_t i = 0; i < entries.size(); ++i) {
      if (stages_[i] == nullptr) continue;
      status& result = entries[i].result;
      result = flushed_[i];
      if (result.is_ok()) result = make_backup(*stages_[i]);
      if (result.is_ok()) result = stages_[i]->file.place();
      if (!result.is_ok()) {
        stages_[i].reset();
        continue;
      }
      std::string folder = stages_[i]->file.folder();
      if (std::find(folders.begin(), folders.end(), folder) == folders.end()) folders.push_back(std::move(folder));
    }
    for (const std::string& folder : folders) flush_folder(folder);
    for (std::size_t i = 0; i < entries.size(); ++i)
      if (stages_[i] != nullptr) entries[i].map->staged_save_done(entries[i].how, *stages_[i], entries[i].saved);
    const std::lock_guard<std::mutex> held(lock_);
    stages_.clear();
    flushed_.clear();
  }

 private:
  // Flushes in flight at once: the journal of ext4 or XFS commits those that
  // wait together in one go, so a window's flushes should all wait at once.
  static constexpr std::size_t flushing_threads = map_batch::window;

  void flush_all() {
    std::unique_lock<std::mutex> held(lock_);
    next_ = 0;
    left_ = stages_.size();
    flushing_ = left_ > 0;
    const auto pending = static_cast<std::size_t>(
        std::count_if(stages_.begin(), stages_.end(), [](const auto& stage) { return stage != nullptr; }));
    while (threads_.size() < std::min(flushing_threads, pending)) threads_.emplace_back([this] { work(); });
    more_.notify_all();
    done_.wait(held, [this] { return left_ == 0; });
    flushing_ = false;
  }

  // Each file's own flush, so that a write error lands on its map.
  void work() {
    // The program's signal handlers run on its own threads.
    sigset_t all;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, nullptr);
    std::unique_lock<std::mutex> held(lock_);
    for (;;) {
      more_.wait(held, [this] { return (flushing_ && next_ < stages_.size()) || stopping_; });
      if (stopping_) return;
      const std::size_t i = next_++;
      if (save_stage* stage = stages_[i].get(); stage != nullptr) {
        held.unlock();
        status flushed = stage->file.flush();
        held.lock();
        flushed_[i] = std::move(flushed);
      }
      if (--left_ == 0) done_.notify_one();
    }
  }

  std::mutex lock_;
  std::condition_variable more_, done_;
  std::vector<std::unique_ptr<save_stage>> stages_;  // null: nothing to flush
  std::vector<status> flushed_;
  std::size_t next_ = 0, left_ = 0;
  bool flushing_ = false, stopping_ = false;
  std::vector<std::thread> threads_;
};

map_batch_window* map_batch_window_new() { return new map_batch_window; }

void map_batch_window_free(map_batch_window* window) { delete window; }

void map_batch_window_add(map_batch_window& window, map_batch::entry& added) { window.add(added); }

void map_batch_window_end(map_batch_window& window, std::span<map_batch::entry> entries) { window.end(entries); }
