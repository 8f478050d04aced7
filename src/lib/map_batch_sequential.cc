#include "lib/map_batch.h"

// Where the maps are saved one after another: Windows flushes each file as
// it moves it into place and has no folder flush, so nothing is gained by
// saving them together; the browser has neither threads nor a disk to wait for.
class map_batch_window {};

map_batch_window* map_batch_window_new() { return new map_batch_window; }

void map_batch_window_free(map_batch_window* window) { delete window; }

void map_batch_window_add(map_batch_window&, map_batch::entry&) {}

void map_batch_window_end(map_batch_window&, std::span<map_batch::entry* const> entries) {
  for (map_batch::entry* e : entries) e->result = e->map->save(e->how, e->saved);
}

void map_batch_window_settle(map_batch_window&) {}
