#include <algorithm>
#include <memory>
#include <vector>

#include "lib/map_batch.h"
#include "lib/map_handle.h"

// A C caller's batch: the library's batch, and each map's options, kept
// where their callbacks' context can find them until the save.
struct mg_batch {
  // Before the batch, which may still call their callbacks as it goes.
  std::vector<std::unique_ptr<mg_save_options>> options;
  map_batch batch;
  std::size_t saved = 0;  // the maps mg_batch_save has dealt with
};

namespace {

// The options of a caller built against this header, or of an older one.
constexpr size_t first_options_size = sizeof(mg_save_options);
constexpr unsigned known_save_flags = MG_SAVE_NEW | MG_SAVE_CHECK | MG_SAVE_ANYWAY;

}  // namespace

int mg_batch_new(mg_batch** batch) {
  if (batch == nullptr) return MG_ERR_ARGUMENT;
  *batch = nullptr;
  return guarded([&]() -> int {
    *batch = new mg_batch;
    return MG_OK;
  });
}

void mg_batch_free(mg_batch* batch) { delete batch; }

int mg_batch_add(mg_batch* batch, const mg_map* map, const char* path, const mg_save_options* options) {
  if (batch == nullptr || map == nullptr || path == nullptr || path[0] == '\0') return MG_ERR_ARGUMENT;
  if (options != nullptr && options->size < first_options_size) return MG_ERR_ARGUMENT;
  if (options != nullptr && (options->flags & ~known_save_flags) != 0) return MG_ERR_ARGUMENT;
  return guarded([&]() -> int {
    auto kept = std::make_unique<mg_save_options>(
        options != nullptr ? *options : mg_save_options{sizeof(mg_save_options), 0, nullptr, nullptr, nullptr});
    const mg_save_options& o = *kept;
    map_save_options how;
    how.path = path;
    how.create = (o.flags & MG_SAVE_NEW) != 0;
    how.check_only = (o.flags & MG_SAVE_CHECK) != 0;
    how.anyway = (o.flags & MG_SAVE_ANYWAY) != 0;
    if (o.temp != nullptr)
      how.watch_temp = [&o](const std::string& temp, bool created) { o.temp(o.context, temp.c_str(), created ? 1 : 0); };
    batch->options.reserve(batch->options.size() + 1);
    batch->batch.add(map->file, how);
    batch->options.push_back(std::move(kept));
    return MG_OK;
  });
}

int mg_batch_save(mg_batch* batch) {
  if (batch == nullptr) return MG_ERR_ARGUMENT;
  return guarded([&]() -> int {
    batch->batch.save();
    const std::size_t from = batch->saved;
    batch->saved = batch->batch.size();
    std::size_t first = batch->saved;
    for (std::size_t i = from; i < batch->saved; ++i) {
      const mg_save_options& o = *batch->options[i];
      if (!batch->batch.result(i).is_ok()) {
        first = std::min(first, i);
      } else if (o.warn != nullptr) {
        for (const std::string& line : batch->batch.saved(i).warnings) o.warn(o.context, line.c_str());
      }
    }
    // Last, so that errno is the first failure's when the callbacks are done.
    return first < batch->saved ? result_of(batch->batch.result(first)) : MG_OK;
  });
}

size_t mg_batch_count(const mg_batch* batch) { return batch != nullptr ? batch->batch.size() : 0; }

int mg_batch_result(const mg_batch* batch, size_t index) {
  if (batch == nullptr || index >= batch->batch.size()) return MG_ERR_ARGUMENT;
  return result_of(batch->batch.result(index));
}
