#pragma once

#include "lib/map_file.h"
#include "mapgraft.h"

// A C caller's save options, as mg_map_save_file and mg_batch_add take them:
// MG_OK, or MG_ERR_ARGUMENT for a size no header had, a flag bit this
// version does not know, or a backup suffix that is not one.
int save_options_check(const mg_save_options* options);
// The options as this version's struct, a field the caller's header lacked
// left empty; NULL gives the defaults.
mg_save_options save_options_copy(const mg_save_options* options);
// What the library's save is told; `o` must outlive the save, which calls
// its callbacks.
map_save_options save_options_of(const mg_save_options& o, const char* path);
