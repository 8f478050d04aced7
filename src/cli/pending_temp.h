#pragma once

#include "support/temp_watcher.h"

// What the programs give a save as its temporary-file watcher, so that a
// signal (or on Windows a console control event) that ends the process
// removes the temporary files that exist at that moment: one, or one for
// each map of a batch's window (64 at most). The handlers are installed
// once, before the first temporary file is made; on POSIX systems they leave
// alone a signal the process was started ignoring (nohup).
temp_watcher pending_temp_watcher();
