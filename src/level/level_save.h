#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "level/level_image.h"
#include "level/level_report.h"
#include "support/edit_target.h"
#include "support/replacement_file.h"
#include "support/status.h"
#include "support/temp_watcher.h"

// Writing a map to a file, the one way every writer takes: the bytes go to a
// temporary file beside the target, which is flushed, read back and compared
// with what was meant, then renamed over the target (or, creating a file,
// into a name that must not exist).
//
// Data the edit copies straight from a raw file in the kernel are checked by
// their length and a sample of blocks: reading them back whole would cost as
// much as the copy itself. Everything else is compared whole.
struct save_plan {
  const char* path = nullptr;           // the file replaced or created
  const edit_target* target = nullptr;  // replacing: the map as the caller opened (and locked) it; null: opened here,
                                        // without a lock
  bool create = false;                  // create `path`, never replace a file
  const char* like = nullptr;           // creating: the file whose permission bits the new one takes; null: 0666
                                        // less the umask
  bool check_only = false;              // make every check possible without writing, and write nothing
  const char* backup = nullptr;         // replacing: the suffix of the old file's backup (support/backup_file.h); null: none
  // Told of the temporary file's steps, so that a program can remove it on a
  // signal that ends it.
  temp_watcher watch_temp;
};

struct save_outcome {
  std::uint64_t length = 0;           // the bytes written, or that would be
  std::vector<std::string> warnings;  // what the new file could not keep, one line each
};

// A failure's code says what failed: too_large, exists (creating), verify
// (the reason, or nothing when the bytes differ), io or temp_folder.
status level_save(const level_image& image, const save_plan& plan, report_sink& report, save_outcome& outcome);

// A save written and checked, waiting for its commit: its temporary file,
// and the target when the plan gave none and it was opened here.
struct save_stage {
  replacement_file file;
  edit_target opened;
  save_outcome outcome;
  std::string backup, backup_of;  // the backup to make of the file, links resolved; empty: none
};

// level_save up to the commit, for a batch that commits many saves at once:
// the temporary file is written, read back and compared. Not for check_only.
// The caller commits stage.file, then takes its warnings.
status level_save_stage(const level_image& image, const save_plan& plan, report_sink& report, save_stage& stage);
// The stage's backup, made just before its file is put in place.
status make_backup(const save_stage& stage);
