/* libgridtally: race-weekend reports and an archive's flat rows from replay
 * files, for programs in C or any language that calls C.
 *
 * Every function returns a status; with a non-NULL error it also fills in
 * the status and the exact message the gridtally program prints after
 * "Error: ", which gridtally_error_free releases. Texts are UTF-8. The
 * functions keep no state between calls and may run on several threads at
 * once. */
#ifndef GRIDTALLY_H
#define GRIDTALLY_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef enum gridtally_status {
    GRIDTALLY_OK = 0,
    /* A replay missing or broken; for rows, some replays were broken (their
     * replays rows carry the messages, every other row was delivered). */
    GRIDTALLY_BROKEN_REPLAY = 1,
    /* The carset file missing or broken. */
    GRIDTALLY_BAD_CARSET = 2,
    /* A path that cannot even be examined (permissions, say). */
    GRIDTALLY_NO_ACCESS = 3,
    /* The report does not fit the buffer; *length says what it needs. */
    GRIDTALLY_BUFFER_TOO_SMALL = 4,
    /* A callback returned non-zero. */
    GRIDTALLY_STOPPED = 5,
    /* A NULL where something is needed, a format out of the list. */
    GRIDTALLY_BAD_ARGUMENT = 6,
    /* Anything else: a folder that cannot be listed, memory. */
    GRIDTALLY_FAILED = 7
} gridtally_status;

typedef struct gridtally_error {
    gridtally_status status;
    char* message; /* NULL after GRIDTALLY_OK */
} gridtally_error;

/* Releases the message; the error can be used again. */
void gridtally_error_free(gridtally_error* error);

typedef enum gridtally_format {
    GRIDTALLY_TEXT = 0,
    GRIDTALLY_SEMIKV = 1,
    GRIDTALLY_JSON = 2,
    GRIDTALLY_CSV = 3,
    GRIDTALLY_HTML = 4
} gridtally_format;

/* Flags, as the program's options. */
enum {
    GRIDTALLY_WITH_LAPS = 1,      /* --laps: every crossing (reports, rows) */
    GRIDTALLY_DETECT_CARSET = 2,  /* --cst-auto */
    GRIDTALLY_NO_HEADER = 4       /* --no-header */
};

typedef void (*gridtally_warning_fn)(void* user, const char* text);

typedef struct gridtally_options {
    int format;                  /* reports: a gridtally_format; an int, so that any
                                    value a caller stores is one C++ may read */
    unsigned flags;
    const char* carset_path;     /* --cst; NULL or "" for none */
    unsigned threads;            /* rows: replays read at once; 0 for 1 */
    gridtally_warning_fn warning; /* NULL: warnings are dropped */
    void* warning_user;
} gridtally_options;

/* A replay: the file at path, or size bytes in memory (then path only names
 * the replay in messages and may be NULL). */
typedef struct gridtally_replay {
    const char* path;
    const void* bytes;
    size_t size;
} gridtally_replay;

/* Takes the next piece of a report; non-zero stops the report. */
typedef int (*gridtally_write_fn)(void* user, const char* text, size_t length);

/* The report of the replay, in pieces of at most about a mebibyte. */
gridtally_status gridtally_report(const gridtally_replay* replay, const gridtally_options* options,
                                  gridtally_write_fn write, void* user, gridtally_error* error);

/* The report into buffer, NUL-terminated; *length is its length without
 * the NUL. When capacity is too small, GRIDTALLY_BUFFER_TOO_SMALL and
 * *length tell the size to ask for (plus one for the NUL); buffer may be
 * NULL with capacity 0 to learn it. */
gridtally_status gridtally_report_buffer(const gridtally_replay* replay, const gridtally_options* options,
                                         char* buffer, size_t capacity, size_t* length, gridtally_error* error);

typedef enum gridtally_table {
    GRIDTALLY_TABLE_REPLAYS = 0,
    GRIDTALLY_TABLE_RESULTS = 1,
    GRIDTALLY_TABLE_LAPS = 2
} gridtally_table;

/* Takes one row: its JSON Lines line, which names the table first and ends
 * in '\n', as "gridtally --archive" writes it. Non-zero stops the run. */
typedef int (*gridtally_row_fn)(void* user, gridtally_table table, const char* line, size_t length);

/* The rows of the replays at paths (folders stand for every .rpy file below
 * them), in the order "gridtally --archive" writes them, on the calling
 * thread. A broken replay gives its replays row with its message and
 * makes the status GRIDTALLY_BROKEN_REPLAY; the others are read all the
 * same. */
gridtally_status gridtally_rows(const char* const* paths, size_t count, const gridtally_options* options,
                                gridtally_row_fn row, void* user, gridtally_error* error);

/* The same rows for replays given one by one and kept in this order: each a
 * file at path (not a folder), or size bytes in memory, whose path (NULL:
 * "<memory>") then stands for the replay in its replays row. Paths show '/'
 * between folders, as gridtally_rows shows them. */
gridtally_status gridtally_replay_rows(const gridtally_replay* replays, size_t count, const gridtally_options* options,
                                       gridtally_row_fn row, void* user, gridtally_error* error);

/* "0.6.4". */
const char* gridtally_version(void);

#ifdef __cplusplus
}
#endif

#endif
