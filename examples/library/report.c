/* A replay's report through libgridtally, as "gridtally --format=json --laps
 * <replay>" writes it.
 *   cc report.c -lgridtally -o report && ./report monza67.rpy */
#include <stdio.h>

#include <gridtally.h>

static int write_to_file(void* user, const char* text, size_t length) {
    return fwrite(text, 1, length, (FILE*)user) != length;
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: report <replay>\n");
        return 2;
    }
    gridtally_options options = {.format = GRIDTALLY_JSON, .flags = GRIDTALLY_WITH_LAPS};
    gridtally_replay replay = {.path = argv[1]};
    gridtally_error error = {0};
    if (gridtally_report(&replay, &options, write_to_file, stdout, &error) != GRIDTALLY_OK) {
        fprintf(stderr, "Error: %s\n", error.message);
        gridtally_error_free(&error);
        return 1;
    }
    return 0;
}
