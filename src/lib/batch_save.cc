#include <algorithm>
#include <memory>
#include <vector>

#include "lib/map_batch.h"
#include "lib/map_handle.h"
#include "lib/save_options.h"

// A C caller's batch: the library's batch, and each map's options, kept
// where their callbacks' context can find them until the save.
struct mg_batch {
  // Before the batch, which may still call their callbacks as it goes.
  std::vector<std::unique_ptr<mg_save_options>> options;
  map_batch batch;
  std::size_t saved = 0;  // the maps mg_batch_save has dealt with
};

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
  if (const int refused = save_options_check(options); refused != MG_OK) return refused;
  return guarded([&]() -> int {
    if (call_refused(map)) return MG_ERR_ARGUMENT;
    const calling_back_scope scope(map);
    auto kept = std::make_unique<mg_save_options>(save_options_copy(options));
    const map_save_options how = save_options_of(*kept, path);
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
