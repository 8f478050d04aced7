#pragma once

#include <algorithm>
#include <atomic>
#include <mutex>
#include <new>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "lib/map_file.h"
#include "mapgraft.h"
#include "support/memory.h"

// The threads in a call on one map that calls the user back (mg_map_write,
// mg_map_save_file), for the whole call: a call on the map from inside a
// callback would change what the call is using, or wait on its own lock.
class callers_back {
 public:
  // Whether any thread is in such a call.
  bool any() const { return count_.load(std::memory_order_acquire) != 0; }
  // Whether the calling thread is, which can only be from a callback.
  bool here() const {
    if (!any()) return false;
    const std::lock_guard<std::mutex> held(lock_);
    return std::find(threads_.begin(), threads_.end(), std::this_thread::get_id()) != threads_.end();
  }
  void enter() {
    const std::lock_guard<std::mutex> held(lock_);
    threads_.push_back(std::this_thread::get_id());
    count_.fetch_add(1, std::memory_order_release);
  }
  void leave() noexcept {
    const std::lock_guard<std::mutex> held(lock_);
    threads_.erase(std::find(threads_.begin(), threads_.end(), std::this_thread::get_id()));
    count_.fetch_sub(1, std::memory_order_release);
  }

 private:
  std::atomic<int> count_{0};
  mutable std::mutex lock_;
  std::vector<std::thread::id> threads_;  // an entry a call, nested ones too
};

// A C caller's map: the library's map, and why its last change failed.
struct mg_map {
  map_file file;
  std::string errmsg;  // why the last change failed, or empty
  mutable callers_back calling_back;
};

// Marks a call that calls the user back for as long as it runs.
class calling_back_scope {
 public:
  explicit calling_back_scope(const mg_map* map) : map_(map) { map_->calling_back.enter(); }
  calling_back_scope(const calling_back_scope&) = delete;
  calling_back_scope& operator=(const calling_back_scope&) = delete;
  ~calling_back_scope();  // leaves errno (GetLastError()) as the call left it

 private:
  const mg_map* map_;
};

// A change while a call that calls back runs on the map, on whatever thread,
// could free what that call is using.
inline bool change_refused(const mg_map* map) { return map->calling_back.any(); }
// A write or save from inside a callback would walk the map again or wait
// on itself.
inline bool call_refused(const mg_map* map) { return map->calling_back.here(); }

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
