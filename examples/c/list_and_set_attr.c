/* Lists a map's chunks, then sets an attribute and replaces the map.
   Usage: list_and_set_attr MAP KEY VALUE */
#include <mapgraft.h>
#include <stdio.h>

static int fail(const char *path, int error)
{
    fprintf(stderr, "%s: %s\n", path, mg_strerror(error));
    return 1;
}

int main(int argc, char **argv)
{
    mg_map *map;
    mg_chunk chunk;
    size_t i;
    int error;

    if (argc != 4) {
        fprintf(stderr, "usage: %s MAP KEY VALUE\n", argv[0]);
        return 2;
    }
    if ((error = mg_map_read_file(argv[1], 0, &map)) != MG_OK)
        return fail(argv[1], error);
    for (i = 0; i < mg_map_chunk_count(map); i++) {
        mg_map_chunk(map, i, &chunk);
        printf("chunk %zu: type:'%.4s' size:%zu\n", i, (const char *)chunk.type, chunk.size);
    }
    if ((error = mg_map_set_attr(map, argv[2], argv[3])) == MG_OK)
        error = mg_map_save_file(map, argv[1], NULL);
    mg_map_free(map);
    return error == MG_OK ? 0 : fail(argv[1], error);
}
