#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "support/byte_sink.h"
#include "support/file_io.h"
#include "support/status.h"
#include "support/temp_watcher.h"

class edit_target;

// Replaces a file so that it is either rewritten whole or left as it was: the
// new contents go to a temporary file beside it, which is flushed to disk and
// then renamed over the target. A symbolic link keeps pointing at the file it
// names. The temporary file is removed when anything fails and when the
// object is destroyed before commit() (memory running out unwinds through it
// too).
// What a signal or a console control event that ends the process leaves is
// the program's to remove: a watcher hears of the temporary file.
//
// On POSIX systems the new file is given the target's owner, group and
// permissions, its access control list and its extended attributes, as far as
// the system allows. What could not be kept does not stop the edit; it is
// told in warnings().
class replacement_file final : public byte_sink {
 public:
  replacement_file() = default;
  replacement_file(const replacement_file&) = delete;
  replacement_file& operator=(const replacement_file&) = delete;
  ~replacement_file() override;

  // Checks that the file `target` read can be replaced and creates the
  // temporary file. `target` must stay open until after commit(): its lock
  // keeps other edits out until the new file is in place.
  status begin(const edit_target& target);
  // Tells `watch` of the temporary file's steps: a library leaves signals
  // to its program.
  void watch_temp(temp_watcher watch) { watch_ = std::move(watch); }
  // Instead of replacing a file, creates `output`, which must not exist yet,
  // with the permission bits of `like` (without `like`, as a new file gets
  // them). The temporary file goes beside `output`, and commit() renames it
  // there with a rename that never replaces: a file that appeared at
  // `output` meanwhile is kept.
  status begin_new(const char* output, const char* like = nullptr);
  status write(std::span<const std::uint8_t> bytes) override;
  status copy(const file_source& source) override;
  // Gives the file its attributes, flushes it to disk and renames it into
  // place.
  status commit();
  void discard();
  // commit() in three steps, so that a batch can flush many files at once
  // and each folder once (Linux): flush() gives the file its attributes and
  // flushes it, and may run on another thread than the other calls (on
  // failure the file stays, for discard() or the destructor); place()
  // names it and renames it into place; the rename is durable once folder()
  // is flushed (flush_folder).
  status flush();
  status place();
  // The attributes flush() gives, given earlier: a batch gives them before
  // the file system is written out, so that the flush finds nothing left.
  status give_attributes();
  // Writes out everything the file system holds, this file among it, for
  // many flush() calls after it that then have little left to do (Linux).
  void write_out_file_system() const;
  // Sets the disk to work on what has been written, without waiting, so that
  // a later flush() has less left to do (Linux).
  void start_writeback();
  std::string folder() const;

  // What the replacement changed about the file beyond its contents, one
  // finished line each without the program's name, such as "'a.lvl' now
  // belongs to you, not to uid 1000". Complete once commit() succeeded.
  const std::vector<std::string>& warnings() const { return warnings_; }

  // What begin() and begin_new() would refuse, checked without creating
  // or opening anything for writing.
  static status probe(const char* target);
  static status probe_new(const char* output);
  // What writing `size` bytes and committing them would meet at `path` (a
  // file to replace, or with `replacing` false a new one): a lack of room,
  // a file size limit, a folder that keeps others from replacing its files.
  static status probe_room(const char* path, std::uint64_t size, bool replacing);

  // Reads back `out.size()` bytes at `offset` of what has been written so
  // far, through the temporary file's own handle, and its length.
  status read_back(std::uint64_t offset, std::span<std::uint8_t> out);
  status written_length(std::uint64_t& length);

 private:
  status create_temp(const std::string& folder, const std::string& name);
  status create_named_temp();
  status name_unnamed();
  status failure_placing(int error);

  std::intptr_t handle_ = -1;
  std::string target_;  // the file itself, links resolved
  void temp_created();
  void temp_gone();

  temp_watcher watch_;
  std::string temp_;
  // Linux: the temporary file has no name until place() (O_TMPFILE), so that
  // a kill leaves nothing behind; temp_ is then what place() will name it.
  bool unnamed_ = false;
  bool attributes_given_ = false;
  std::string temp_pattern_;
  std::string shown_;   // the target as the user named it, quoted for a line
  const edit_target* source_ = nullptr;  // null: a new file
  std::vector<std::string> warnings_;
  std::uint32_t new_mode_ = 0;  // a new file's permission bits (POSIX) or attributes (Windows)
  std::uint32_t new_owner_ = 0, new_group_ = 0;  // whose set-ID bits new_mode_ holds (POSIX)
};

// Flushes a folder, so that the renames into it are durable; failures are
// ignored, since the files are in place either way.
void flush_folder(const std::string& folder);

// The system's text for an error number.
std::string system_error_text(int error);

// The whole reason when the temporary file cannot be made, as in "cannot
// create a temporary file in 'nd': Permission denied": it names the folder,
// so the programs print it as it is rather than after their "cannot write".
inline constexpr const char* temp_folder_failure_start = "cannot create a temporary file in ";
inline bool is_temp_folder_failure(const status& s) { return s.code() == error_code::temp_folder; }
// That reason for the file `file` (links resolved), named `shown` by the
// user: the folder is named as the user would find it.
status temp_folder_failure(const std::string& shown, const std::string& file, int error);
// The temporary file's path beside the file `name` in `folder` (empty, or
// ending in a separator).
std::string replacement_temp_path(const std::string& folder, const std::string& name);
