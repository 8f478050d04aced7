#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "lib/file_origin.h"
#include "lib/format_terms.h"
#include "support/byte_sink.h"
#include "support/status.h"
#include "support/temp_watcher.h"

class edit_target;
struct save_plan;
struct save_stage;

// The library's own interface, in C++: what mg_map gives C callers, and what
// the programs need beyond it. mg_map wraps one; the programs hold one per map.
//
// A failure is a status: its code, and its reason in the programs' words.

struct map_read_options {
  unsigned flags = 0;             // MG_READ_*
  report_sink* report = nullptr;  // told what the reader finds; null: nobody
  // Only the tileset is copied: the chunks are left in the input, which the
  // caller keeps for as long as the map (the inspector's way with large maps).
  bool chunks_in_input = false;
  // chunks() is kept up to date; without it, it stays empty, and a map of
  // millions of chunks costs no index.
  bool index_chunks = false;
};

struct map_save_options {
  const char* path = nullptr;
  bool create = false;            // a new file, never a replaced one
  const char* like = nullptr;     // creating: the file whose permission bits it takes
  bool check_only = false;        // every check possible, nothing written
  bool anyway = false;            // replace even a file changed since it was read
  const char* backup = nullptr;   // replacing: the old file stays as its name with this suffix
  bool wait = true;               // for another edit of the file replaced; false: fail with edit_in_progress
  report_sink* report = nullptr;  // the writer's lines; null: nobody
  temp_watcher watch_temp;
};

struct map_saved {
  std::uint64_t length = 0;           // the bytes written, or that would be
  std::vector<std::string> warnings;  // what the new file could not keep
};

class map_file {
 public:
  map_file();
  map_file(const map_file&) = delete;
  map_file& operator=(const map_file&) = delete;
  ~map_file();

  // From bytes, which the map copies (see chunks_in_input). A failure is
  // not_a_map ("not a tarvex map file", or under MG_READ_STRICT the reason
  // it does not look like one), damaged (the damage), too_large.
  status read(std::span<const std::uint8_t> input, const map_read_options& options);
  // From the file at `path`, whose identity the map remembers; io with the
  // system's error.
  status read_file(const char* path, const map_read_options& options);

  // Opens `path` for an edit and holds the edit lock until the map is gone,
  // after its save: another edit of the file waits (`on_wait` is called once
  // before the first wait). Then read_opened() reads what was opened.
  status open_for_edit(const char* path, const std::function<void()>& on_wait);
  // The same without waiting: a file that another edit holds fails with
  // edit_in_progress and sets `busy`.
  status open_for_edit_if_free(const char* path, bool& busy);
  status read_opened(const map_read_options& options);
  // Another edit replaced the file while this one waited: indexes learnt
  // earlier no longer apply.
  bool changed_while_waiting() const;
  // The bytes opened for the edit, until release_bytes().
  std::span<const std::uint8_t> bytes_opened() const;
  void release_bytes();

  const level_image& image() const { return image_; }
  level_shape shape_as_read() const { return shape_as_read_; }
  // The first damage found, in mapgraft-inspect's words, or null.
  const char* damage() const { return damage_ ? damage_->c_str() : nullptr; }
  // Why the bytes read do not look like a map, or null.
  const char* unlike_a_map() const { return unlike_a_map_.empty() ? nullptr : unlike_a_map_.c_str(); }
  // By current index, with index_chunks.
  const std::vector<const chunk_record*>& chunks() const { return records_; }
  // The map's own bitmap as a file of its own, or empty.
  std::span<const std::uint8_t> tileset() const { return tileset_; }

  // Applies `operations` in order, their indexes the chunks as read
  // (level_edit.h). On failure the map is as it was. `tileset_room` is
  // reserved first, so that nothing after the edit can fail.
  status apply(std::span<const edit_operation> operations, edit_summary& summary,
               std::vector<std::int8_t>* fates = nullptr, std::size_t tileset_room = 0);
  // Appends a chunk of type `magic` whose data stay in `source`'s file until
  // written; false, adding nothing, when it would not fit a map file.
  bool add_chunk_from(const char* magic, const file_source& source);
  bool add_chunk(const char* magic, std::span<const std::uint8_t> data);

  // Whether writing the map now gives exactly the bytes opened for the edit.
  status unchanged(bool& same) const;
  status write_to(byte_sink& out, report_sink& report) const;
  // Replaces or creates a file with the map; a map opened for an edit
  // replaces its file under the lock it holds. A failed verification's
  // reason is "verification failed" and what failed, if anything did.
  status save(const map_save_options& how, map_saved& saved) const;
  // save() in two steps, for a batch (map_batch.h), not for check_only:
  // stage_save() writes and checks the temporary file; once the caller has
  // committed stage.file, staged_save_done() takes what the save left.
  status stage_save(const map_save_options& how, save_stage& stage) const;
  void staged_save_done(const map_save_options& how, save_stage& stage, map_saved& saved) const;

 private:
  void refresh();
  // One add or set done on the spot, in time independent of the chunks
  // there: false when the general way must do it.
  bool apply_quickly(const edit_operation& op, edit_summary& summary);
  bool set_quickly(const edit_operation& op, edit_summary& summary);
  void append_quickly(const std::uint8_t type[4], std::span<const std::uint8_t> data, edit_summary& summary);
  void index_attr_keys();
  struct key_chunks;
  static void note_key(key_chunks& chunks, std::size_t index);
  status check_origin(const map_save_options& how) const;
  status hold_file(const map_save_options& how, bool wait, edit_target& locked, const edit_target*& target) const;
  void fill_plan(const map_save_options& how, const edit_target* target, save_plan& plan) const;
  status save_failure(const status& s) const;

  level_image image_;
  level_shape shape_as_read_ = level_shape::plain;
  bool tileset_replaced_ = false;
  bool indexed_ = false;
  std::optional<std::string> damage_;  // the first damage found, if any
  std::string unlike_a_map_;
  std::vector<const chunk_record*> records_;  // by current index
  bool chunks_in_input_ = false;
  // The ATTR chunks by key (the text before the first '='): the current
  // index of the first, and how many, with index_chunks; built on the first
  // set, and forgotten by a change that moves chunks.
  struct key_chunks {
    std::size_t first = 0;
    std::size_t count = 0;
  };
  std::unordered_map<std::string, key_chunks> attr_keys_;
  bool attr_keys_built_ = false;
  std::vector<std::uint8_t> tileset_;
  std::unique_ptr<edit_target> opened_;
  // Where it was read from or last saved to, if a file. A save, a const
  // function, moves it, so saves of one map may run at once.
  mutable std::mutex origin_lock_;
  mutable file_origin origin_;
};
