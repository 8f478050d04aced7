#pragma once

#include <new>
#include <string>

#include "lib/map_file.h"
#include "mapgraft.h"
#include "support/memory.h"

// A C caller's map: the library's map, and why its last change failed.
struct mg_map {
  map_file file;
  std::string errmsg;  // why the last change failed, or empty
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
