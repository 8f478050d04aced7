/* The DLL under Windows' rules for names; run in a scratch folder with
 * mapgraft-edit.exe's path as its argument. */
#include <windows.h>
#include <stdlib.h>
#include <string.h>

#include "c_check.h"
#include "mapgraft.h"

static mg_map *fresh_map(void) {
  mg_map *map = NULL;
  FILE *f = fopen("w.lvl", "wb");
  CHECK(f != NULL && fwrite("ABCDEFGH", 1, 8, f) == 8 && fclose(f) == 0);
  CHECK(mg_map_read_file("w.lvl", 0, &map) == MG_OK && mg_map_set_attr(map, "NAME", "library") == MG_OK);
  return map;
}

int main(int argc, char **argv) {
  static const char *spellings[] = {"w.lvl", "W.LVL", ".\\w.lvl", "./W.lvl"};
  mg_save_options options = {sizeof(mg_save_options), 0, NULL, NULL, NULL, "~"};
  char command[1024];
  mg_map *map;
  size_t i;
  WIN32_FILE_ATTRIBUTE_DATA kept;
  if (argc != 2) return 2;
  snprintf(command, sizeof command, "%s -q --set OTHER=edit w.lvl", argv[1]);
  for (i = 0; i < sizeof spellings / sizeof *spellings; ++i) {
    map = fresh_map();
    CHECK(system(command) == 0 && mg_map_save_file(map, spellings[i], NULL) == MG_ERR_CHANGED);
    mg_map_free(map);
  }
  map = fresh_map();
  SetLastError(0);
  CHECK(mg_map_save_file(map, "NUL", NULL) == MG_ERR_IO && GetLastError() == ERROR_INVALID_PARAMETER);
  CHECK(mg_map_save_file(map, "w.lvl", &options) == MG_OK);
  CHECK(GetFileAttributesExA("w.lvl~", GetFileExInfoStandard, &kept) && kept.nFileSizeLow == 8);
  mg_map_free(map);
  printf("%d failed\n", failures);
  return failures == 0 ? 0 : 1;
}
