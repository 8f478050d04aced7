#include "lib/map_batch.h"

// Windows flushes each file as it moves it into place, and has no folder
// flush: nothing is gained by saving the maps together.
void map_batch_save_window(std::span<map_batch::entry> entries) {
  for (map_batch::entry& e : entries) e.result = e.map->save(e.how, e.saved);
}
