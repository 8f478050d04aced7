#pragma once

#include <new>
#include <stdexcept>
#include <string>
#include <system_error>

#include "lib/map_file.h"
#include "mapgraft.h"
#include "support/memory.h"

// A C caller's map: the library's map, and why its last change failed.
struct mg_map {
  map_file file;
  std::string errmsg;  // why the last change failed, or empty
};

// Leaves `error` where the caller of an MG_ERR_IO looks (errno, on Windows
// GetLastError()) and returns MG_ERR_IO.
int system_failure(int error);
// The same with the system's "internal error": EIO, ERROR_INTERNAL_ERROR.
int internal_failure();

// What a C caller gets of a status: MG_OK, or the public code of the
// failure, with the system's error left for MG_ERR_IO.
int result_of(const status& s);

// Runs `body`; the library's entry points never let an exception out to C
// code. Memory running out is MG_ERR_NOMEM, a size past the containers'
// limits MG_ERR_TOO_LARGE, a system call that failed in the standard library
// (a lock) MG_ERR_IO with its reason; any other exception, which the library
// never throws on purpose, is MG_ERR_IO with EIO (Windows:
// ERROR_INTERNAL_ERROR), so that it is never taken for a lack of memory.
template <typename Body>
int guarded(Body&& body) noexcept {
  try {
    return body();
  } catch (const out_of_memory&) {
    return MG_ERR_NOMEM;
  } catch (const std::bad_alloc&) {
    return MG_ERR_NOMEM;
  } catch (const std::length_error&) {
    return MG_ERR_TOO_LARGE;
  } catch (const std::system_error& failed) {
    return system_failure(failed.code().value());
  } catch (...) {
    return internal_failure();
  }
}
