#include "cli/driver.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "cli/mapped_file.h"
#include "level/level_image.h"
#include "level/level_insert.h"
#include "level/level_reader.h"
#include "level/level_writer.h"
#include "support/console.h"
#include "support/edit_lock.h"

#ifndef MAPGRAFT_VERSION
#error "MAPGRAFT_VERSION must be defined by the build"
#endif

namespace {

constexpr const char* author = "by the mapgraft authors";
constexpr const char* help_text =
    "use this tool to insert raw data from a file into a tarvex map under the\n"
    "specified chunk name. conforms to elvl version 0.4. if only a map is specified\n"
    "it will elvl'ify it. caution must be used as this program overwrites the input\n"
    "file\n";

enum exit_status { written = 0, not_written = 1, usage = 2 };

int cannot(const char* what, const char* path, const std::string& why) {
  std::fflush(stdout);
  const std::string line = format_line("mapgraft: cannot %s '%s': %s\n", what, path, why.c_str());
  console_write(2, line.data(), line.size());
  return not_written;
}

int edit(int argc, char** argv) {
  const char* target = argv[1];
  edit_lock lock;
  if (status s = lock.take(target); !s.is_ok()) return cannot("write", target, s.why());
  level_image_owner level;
  stdout_report report;
  std::string why;
  {
    const mapped_file_ptr input(mapped_file_open(target, why));
    if (!input) return cannot("open", target, why);
    if (level_read(level.image, mapped_file_bytes(input.get()), report) == read_result::rejected) return not_written;
  }
  if (argc >= 4) {
    // The raw file goes straight into its chunk: a raw file of hundreds of
    // megabytes then passes through memory once.
    const char* raw_path = argv[3];
    bool fits = true;
    const auto place = [&](std::uint32_t length) {
      std::uint8_t* data = level_add_chunk_space(level.image, argv[2], length);
      fits = data != nullptr;
      return data;
    };
    if (!mapped_file_read_into(raw_path, why, place))
      return fits ? cannot("open", raw_path, why) : cannot("write", target, "the chunk would not fit a map file");
  }
  if (status s = level_write(level.image, target, report); !s.is_ok()) return cannot("write", target, s.why());
  return written;
}

}  // namespace

int mapgraft_main(int argc, char** argv) {
  std::printf("mapgraft v%s %s %s\n", MAPGRAFT_VERSION, __DATE__, author);
  std::fflush(stdout);
  if (argc <= 1) {
    // Without an argument vector (Linux then passes an empty name) the tool
    // names itself.
    const char* name = argc == 1 && argv[0] != nullptr && argv[0][0] != '\0' ? argv[0] : "mapgraft";
    std::printf("Usage: %s <target.lvl> [<magic> <raw.dat>]\n", name);
    std::printf("Example: %s smallmap.lvl ATTR msg.txt\n", name);
    return usage;
  }
  if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    std::fputs(help_text, stdout);
    return written;
  }
  return edit(argc, argv);
}
