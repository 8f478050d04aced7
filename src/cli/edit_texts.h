#pragma once

#ifndef MAPGRAFT_VERSION
#error "MAPGRAFT_VERSION must be defined by the build"
#endif

// Every text the program prints, apart from the reasons the library gives
// (why a map is damaged, unlike a map or refused a change, why a save failed,
// and the system's texts), is here.

constexpr const char* help_text =
    "Usage: mapgraft-edit [OPTION | OPERATION]... [--] MAP...\n"
    "Edit the metadata chunks and the tileset of tarvex maps (.lvl). The operations\n"
    "are applied to each MAP in the order given, then the map is written once: to a\n"
    "temporary file beside it, which is read back and compared, then renamed over\n"
    "it. Without -o, a map whose result is the same bytes is not written at all.\n"
    "\n"
    "Operations:\n"
    "      --add TYPE FILE        append FILE's bytes as a new chunk of TYPE\n"
    "      --set KEY=VALUE        the first ATTR chunk of KEY takes the data\n"
    "                               KEY=VALUE and keeps its place, later ones are\n"
    "                               removed; without one, the chunk is appended\n"
    "      --unset KEY            remove every ATTR chunk of KEY\n"
    "      --remove INDEX[,INDEX...]\n"
    "                             remove those chunks\n"
    "      --remove-type TYPE     remove every chunk of TYPE\n"
    "      --replace INDEX FILE   chunk INDEX keeps its type and place and takes\n"
    "                               FILE's bytes\n"
    "      --tileset FILE         the tileset becomes the bitmap in FILE\n"
    "      --copy-from SOURCE     set the attributes of the map SOURCE, and append\n"
    "                               each of its other chunks that the map does\n"
    "                               not hold with the same bytes\n"
    "      --import TABLE         each row of TABLE (JSON Lines as mapgraft-inspect\n"
    "                               --json writes them, or CSV as --csv does)\n"
    "                               names a map and the whole set of attributes\n"
    "                               it is to have: others are unset, keys\n"
    "                               already so are left alone; takes no MAP\n"
    "\n"
    "Options:\n"
    "  -n, --dry-run              do everything but write: say what would be written\n"
    "  -r, --recursive            a MAP that is a folder stands for every .lvl file\n"
    "                               in it and below it, hidden ones too\n"
    "  -o, --output FILE          write the result to FILE, a new file with MAP's\n"
    "                               permissions, and leave MAP as it is (one MAP\n"
    "                               only); '-' is standard output, and the lines\n"
    "                               go to standard error; without an operation,\n"
    "                               convert or copy MAP\n"
    "  -b, --backup[=SUFFIX]      keep each map replaced as MAP with SUFFIX (default\n"
    "                               '~'), a hard link to the old file or a copy;\n"
    "                               with -n, check that it could be made\n"
    "      --force                write a damaged map, or convert a file that does\n"
    "                               not look like a map\n"
    "  -v, --verbose              print mapgraft's report lines for each map, and\n"
    "                               each chunk changed: '- ' before its old line,\n"
    "                               '+ ' before its new one\n"
    "  -q, --quiet                print nothing on standard output\n"
    "      --progress, --no-progress\n"
    "                             show how far a batch is on standard error when\n"
    "                               it is a terminal (by default after a second),\n"
    "                               or never\n"
    "  -h, --help                 print this help and exit\n"
    "      --version              print the version and exit\n"
    "\n"
    "An ATTR chunk of KEY is one whose data begin with KEY=. INDEX is a chunk's\n"
    "number in the map as read, before any operation: the number mapgraft-inspect\n"
    "prints. A chunk removed by an operation no longer has one, and chunks added by\n"
    "this run have none. TYPE is 1 to 4 bytes, filled up with zero bytes. A FILE of\n"
    "'-' is standard input, read to its end once, before the first map.\n"
    "\n"
    "A run of several maps with failures ends on 'mapgraft-edit: N of M maps failed'.\n"
    "\n"
    "Exit status: 0 every map was written or is unchanged, 1 a map or a FILE failed,\n"
    "2 usage, 3 out of memory.\n";

constexpr const char* version_text = "mapgraft-edit (mapgraft) " MAPGRAFT_VERSION "\n";

// Usage errors, after the program's name (cli/option_parser.h).
constexpr const char* not_key_value = "'%s' is not KEY=VALUE";
constexpr const char* index_too_large = "chunk index '%s' is too large";
constexpr const char* index_twice = "chunk index %s is given twice in one --remove";
constexpr const char* stdin_twice = "'-' (standard input) is given more than once";
constexpr const char* stdin_as_map = "'-' (standard input) cannot be a MAP";
constexpr const char* output_twice = "option '--output' is given more than once";
constexpr const char* shown_type_hint =
    "mapgraft-edit: %s: no chunk has type %s, but some have type %s, which the reports show so: use %s";
constexpr const char* folder_unread = "cannot read the folder: %s";
constexpr const char* folder_without_r = "cannot open: not a regular file but a folder (-r edits the maps in it)";
constexpr const char* import_twice = "option '--import' is given more than once";
constexpr const char* import_with_output = "--output cannot be used with --import: one output file cannot take many maps";
constexpr const char* import_with_maps = "--import takes no MAP: the table names the maps";
constexpr const char* import_refused = "--import %s: %s";
constexpr const char* no_operation = "no operation given";
constexpr const char* no_map = "no MAP given";
constexpr const char* backup_with_output = "--backup cannot be used with --output: nothing is replaced";
constexpr const char* backup_not_suffix = "--backup takes a suffix to the map's name, not '%s'";
#ifdef _WIN32
constexpr const char* backup_separators = "/\\:";
#else
constexpr const char* backup_separators = "/";
#endif
constexpr const char* output_needs_one_map = "--output takes exactly one MAP, not %llu";

// A FILE or a map that fails, on standard error. Names are given quoted
// (support/shell_quote.h).
constexpr const char* failure_line = "mapgraft-edit: %s: %s";
constexpr const char* cannot_open = "cannot open: %s";
constexpr const char* input_is_output = "input file is output file";
constexpr const char* cannot_read = "cannot read: %s";
constexpr const char* cannot_write = "cannot write: %s";
constexpr const char* cannot_write_output = "cannot write %s: %s";
constexpr const char* not_a_map = "not a tarvex map file";
constexpr const char* damaged_map = "damaged map: %s (--force writes it anyway)";
constexpr const char* unlike_a_map = "does not look like a map: %s (--force converts it anyway)";
constexpr const char* changed_while_waiting = "changed while waiting; indexes no longer apply";
constexpr const char* waiting_line = "mapgraft-edit: waiting for another edit of %s";
constexpr const char* backup_is_a_map_text = "it is one of the maps being edited";
constexpr const char* same_file_note = "mapgraft-edit: %s: skipped: the same file as %s";
constexpr const char* output_lost = "mapgraft-edit: cannot write standard output: %s";

// A map's line on standard output.
constexpr const char* changed_line = "%s: %lld removed, %lld added, %lld replaced%s; %lld chunks; %llu bytes %s%s";
constexpr const char* tileset_part = "; tileset replaced";
constexpr const char* written_part = "written";
constexpr const char* would_be_written_part = "would be written";
constexpr const char* output_part = " to %s";
constexpr const char* standard_output_part = " to standard output";
constexpr const char* cannot_write_standard_output = "cannot write standard output: %s";
constexpr const char* not_to_a_terminal = "mapgraft-edit: not writing binary data to a terminal; use -o FILE or a redirect";
constexpr const char* batch_summary = "mapgraft-edit: %llu of %llu maps failed";
constexpr const char* unchanged_line = "%s: unchanged";
constexpr const char* would_be_unchanged_line = "%s: would be unchanged";
