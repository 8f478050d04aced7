#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>

#include "level/level_save.h"
#include "lib/map_batch.h"

namespace {

// Flushes in flight at once. The journal of ext4 or XFS commits the flushes
// that wait together in one go; past a few, more threads only cost.
constexpr std::size_t flushing_threads = 4;

// Each file's own flush, so that a write error lands on its map.
void flush_all(std::span<std::unique_ptr<save_stage>> stages, std::span<status> flushed) {
  std::atomic<std::size_t> next{0};
  const auto work = [&] {
    // The program's signal handlers run on its own threads.
    sigset_t all;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, nullptr);
    for (std::size_t i; (i = next.fetch_add(1)) < stages.size();)
      if (stages[i] != nullptr) flushed[i] = stages[i]->file.flush();
  };
  const std::size_t pending = static_cast<std::size_t>(
      std::count_if(stages.begin(), stages.end(), [](const auto& stage) { return stage != nullptr; }));
  std::vector<std::thread> threads;
  for (std::size_t i = 1; i < std::min(flushing_threads, pending); ++i) threads.emplace_back(work);
  work();
  for (std::thread& thread : threads) thread.join();
}

}  // namespace

void map_batch_save_window(std::span<map_batch::entry> entries) {
  std::vector<std::unique_ptr<save_stage>> stages(entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    map_batch::entry& e = entries[i];
    if (e.how.check_only) {
      e.result = e.map->save(e.how, e.saved);
      continue;
    }
    stages[i] = std::make_unique<save_stage>();
    e.result = e.map->stage_save(e.how, *stages[i]);
    if (!e.result.is_ok()) stages[i].reset();
  }

  std::vector<status> flushed(entries.size(), status::ok());
  flush_all(stages, flushed);

  // Renamed in the order given, each folder flushed once after its renames.
  std::vector<std::string> folders;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (stages[i] == nullptr) continue;
    status& result = entries[i].result;
    result = flushed[i].is_ok() ? stages[i]->file.place() : flushed[i];
    if (!result.is_ok()) {
      stages[i].reset();
      continue;
    }
    std::string folder = stages[i]->file.folder();
    if (std::find(folders.begin(), folders.end(), folder) == folders.end()) folders.push_back(std::move(folder));
  }
  for (const std::string& folder : folders) flush_folder(folder);
  for (std::size_t i = 0; i < entries.size(); ++i)
    if (stages[i] != nullptr) entries[i].map->staged_save_done(entries[i].how, *stages[i], entries[i].saved);
}
