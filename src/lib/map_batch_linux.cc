#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "level/level_save.h"
#include "lib/map_batch.h"

// Each map is staged (written, checked and given its attributes) as it is
// added, and the disk set to work on it. A window's end writes out the file
// system once, hands each file's flush to a thread so that the flushes wait
// side by side, renames the files in the order added and hands the folders'
// flushes to the threads too, to go on while the next window is staged;
// settle() waits for those. The threads last as long as the batch.
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
    auto added = std::make_unique<slot>();
    added->stage = std::make_unique<save_stage>();
    if (e.how.check_only) {
      e.result = e.map->save(e.how, e.saved);
      added->stage.reset();
    } else if (e.result = e.map->stage_save(e.how, *added->stage); !e.result.is_ok()) {
      added->stage.reset();
    } else if (e.result = added->stage->file.give_attributes(); !e.result.is_ok()) {
      added->stage.reset();
    } else {
      added->stage->file.start_writeback();
    }
    open_.push_back(std::move(added));
  }

  void end(std::span<map_batch::entry* const> entries) {
    // One write-out of the file system does for all the window's files what
    // each file's flush would do on its own, a block of inodes at a time;
    // the flushes then still give each map its own write error, if any, and
    // wait side by side.
    const auto first = std::find_if(open_.begin(), open_.end(), [](const auto& s) { return s->stage != nullptr; });
    if (first != open_.end()) (*first)->stage->file.write_out_file_system();
    {
      std::unique_lock<std::mutex> held(lock_);
      for (const std::unique_ptr<slot>& s : open_) {
        if (s->stage == nullptr) continue;
        jobs_.push_back({s.get(), nullptr});
        ++flushes_left_;
        wake_one();
      }
      done_.wait(held, [this] { return flushes_left_ == 0; });
    }
    // Renamed in the order added, each folder flushed once after its renames.
    folders_.clear();
    for (std::size_t i = 0; i < entries.size(); ++i) {
      std::unique_ptr<save_stage>& stage = open_[i]->stage;
      if (stage == nullptr) continue;
      status& result = entries[i]->result;
      result = open_[i]->flushed;
      if (result.is_ok()) result = make_backup(*stage);
      if (result.is_ok()) result = stage->file.place();
      if (!result.is_ok()) {
        stage.reset();
        continue;
      }
      std::string folder = stage->file.folder();
      if (std::find(folders_.begin(), folders_.end(), folder) == folders_.end()) folders_.push_back(std::move(folder));
    }
    const std::lock_guard<std::mutex> held(lock_);
    for (const std::string& folder : folders_) {
      jobs_.push_back({nullptr, &folder});
      ++folder_flushes_left_;
      wake_one();
    }
    settling_.assign(entries.begin(), entries.end());
    settling_slots_ = std::move(open_);
    open_.clear();
  }

  void settle() {
    {
      std::unique_lock<std::mutex> held(lock_);
      done_.wait(held, [this] { return folder_flushes_left_ == 0; });
    }
    for (std::size_t i = 0; i < settling_.size(); ++i)
      if (save_stage* stage = settling_slots_[i]->stage.get(); stage != nullptr)
        settling_[i]->map->staged_save_done(settling_[i]->how, *stage, settling_[i]->saved);
    settling_.clear();
    settling_slots_.clear();
  }

 private:
  struct slot {
    std::unique_ptr<save_stage> stage;  // null: nothing to flush or place
    status flushed = status::ok();
  };
  struct job {
    slot* file;                  // a file's flush, or
    const std::string* folder;  // a folder's
  };

  // Flushes in flight at once: the journal of ext4 or XFS commits those that
  // wait together in one go.
  static constexpr std::size_t most_threads = map_batch::window;

  void wake_one() {
    if (idle_ == 0 && threads_.size() < most_threads) threads_.emplace_back([this] { work(); });
    more_.notify_one();
  }

  // Each file's own flush, so that a write error lands on its map.
  void work() {
    // The program's signal handlers run on its own threads.
    sigset_t all;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, nullptr);
    std::unique_lock<std::mutex> held(lock_);
    for (;;) {
      ++idle_;
      more_.wait(held, [this] { return !jobs_.empty() || stopping_; });
      --idle_;
      if (stopping_) return;
      const job next = jobs_.front();
      jobs_.pop_front();
      held.unlock();
      if (next.file != nullptr) {
        status flushed = next.file->stage->file.flush();
        held.lock();
        next.file->flushed = std::move(flushed);
        --flushes_left_;
      } else {
        flush_folder(*next.folder);
        held.lock();
        --folder_flushes_left_;
      }
      done_.notify_all();
    }
  }

  std::mutex lock_;
  std::condition_variable more_, done_;
  std::vector<std::unique_ptr<slot>> open_;           // the window's maps, in the order added
  std::vector<std::unique_ptr<slot>> settling_slots_;  // the last window ended, waiting for its folders
  std::vector<map_batch::entry*> settling_;
  std::vector<std::string> folders_;
  std::deque<job> jobs_;
  std::size_t flushes_left_ = 0, folder_flushes_left_ = 0, idle_ = 0;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

map_batch_window* map_batch_window_new() { return new map_batch_window; }

void map_batch_window_free(map_batch_window* window) { delete window; }

void map_batch_window_add(map_batch_window& window, map_batch::entry& added) { window.add(added); }

void map_batch_window_end(map_batch_window& window, std::span<map_batch::entry* const> entries) {
  window.end(entries);
}

void map_batch_window_settle(map_batch_window& window) { window.settle(); }
