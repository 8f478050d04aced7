#pragma once

#include <cstdint>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "level/level_image.h"
#include "lib/file_origin.h"
#include "mapgraft.h"
#include "support/memory.h"

// What a handle holds beyond the level image: the answers to the queries
// that point into the map, kept up to date after every change so that the
// const functions only read.
struct mg_map {
  level_image image;
  level_shape shape_as_read = level_shape::plain;
  bool damaged = false;
  std::string damage;
  std::string unlike_a_map;  // why the bytes read do not look like a map, or empty
  std::string errmsg;        // why the last change failed, or empty
  bool tileset_replaced = false;
  std::vector<const chunk_record*> records;   // by current index
  std::vector<std::uint8_t> tileset;          // the map's own bitmap as a file of its own
  // Where it was read from or last saved to, if a file. A save, a const
  // function, moves it, so saves of one map may run at once.
  mutable std::mutex origin_lock;
  mutable file_origin origin;

  mg_map() = default;
  mg_map(const mg_map&) = delete;
  mg_map& operator=(const mg_map&) = delete;
  ~mg_map() { level_image_release(image); }

  // After reading and after each change.
  void refresh();
};

// Runs `body`, turning memory exhaustion into MG_ERR_NOMEM: the library's
// entry points never let an exception out to C code.
template <typename Body>
int guarded(Body&& body) noexcept {
  try {
    return body();
  } catch (const out_of_memory&) {
    return MG_ERR_NOMEM;
  } catch (const std::bad_alloc&) {
    return MG_ERR_NOMEM;
  } catch (...) {
    return MG_ERR_NOMEM;
  }
}
