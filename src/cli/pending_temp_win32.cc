#include "cli/pending_temp.h"

std::function<void(const std::string& path, bool created)> pending_temp_watcher() { return {}; }
