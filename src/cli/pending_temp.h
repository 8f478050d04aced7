#pragma once

#include <functional>
#include <string>

// What the programs give a save as its temporary-file watcher, so that a
// signal that ends the process removes the temporary files that exist at
// that moment: one, or one for each map of a batch's window (64 at most).
// The first call installs the handlers; they leave alone a signal the
// process was started ignoring (nohup). Empty where the
// replacement file keeps a handler of its own (Windows' console control
// handler, which must hold its lock across the rename).
std::function<void(const std::string& path, bool created)> pending_temp_watcher();
