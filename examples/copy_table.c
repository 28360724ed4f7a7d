/* copy_table: fills a table in one SQLite file and copies it whole into another, with
 * the library's error texts wherever something fails (the SQLite3 ODBC driver of
 * unixODBC; Debian: libsqliteodbc).   usage: copy_table SOURCE.db DEST.db */
#include <locale.h>
#include <orvane.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <uchar.h>

/* The wide texts of the whole-table functions, from the locale's multibyte text. */
static tqWChar* widen(const char* text) {
    size_t length = strlen(text);
    tqWChar* wide = calloc(length + 1, sizeof *wide);
    mbstate_t state;
    memset(&state, 0, sizeof state);
    size_t out = 0;
    for (const char* p = text; wide && *p;) {
        size_t n = mbrtoc16(&wide[out], p, length - (size_t)(p - text), &state);
        if (n == (size_t)-1 || n == (size_t)-2) break; /* not valid text: stop here */
        if (n != (size_t)-3) p += n;
        ++out;
    }
    return wide;
}

/* Prints 16-bit text (the examples keep to ASCII; anything else shows as '?'). */
static void printWide(const tqWChar* text) {
    for (; text && *text; ++text) putchar(*text < 128 ? (char)*text : '?');
}

/* Prints the message the library made for `status` (heading, statement, recorded text). */
static int fail(const char* heading, const char* sql, int status) {
    char message[2048];
    tqDBWin_getSQLErrorTextA(message, heading, sql, status);
    printf("%s\n", message);
    return status;
}

static int run(const char* sql) {
    int status = tqDBWin_processSQLA(sql);
    return status == 0 ? 0 : fail("Statement failed", sql, status);
}

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: copy_table SOURCE.db DEST.db\n");
        return 2;
    }
    setlocale(LC_CTYPE, ""); /* file names in the user's own text */
    char source[1024], dest[1024];
    snprintf(source, sizeof source, "DRIVER=SQLite3;Database=%s;", argv[1]);
    snprintf(dest, sizeof dest, "DRIVER=SQLite3;Database=%s;", argv[2]);

    int status = tqDBWin_attachDatabaseA(source);
    if (status != 0) {
        fail("Cannot open the source", NULL, status);
        return 1;
    }
    if (run("DROP TABLE IF EXISTS parts") || run("CREATE TABLE parts (id INTEGER, name VARCHAR(40))") ||
        run("INSERT INTO parts VALUES (1, 'flange')") || run("INSERT INTO parts VALUES (2, 'gasket')") ||
        run("INSERT INTO parts VALUES (3, 'bolt M12')"))
        return 1;

    /* A statement that fails, to show what the host gets: a status and its text. */
    fail("Expected failure", "SELECT * FROM no_such_table", tqDBWin_processSQLA("SELECT * FROM no_such_table"));

    /* The copy attaches the source, reads the table, attaches the destination, replaces
     * the table there and stays attached to the destination. */
    tqWChar* wideSource = widen(source);
    tqWChar* wideDest = widen(dest);
    tqWChar message[512] = {0};
    status = tqDBWin_copyTableExtW(wideSource, u"parts", wideDest, u"parts", message);
    free(wideSource);
    free(wideDest);
    if (status != 0) {
        printf("copy failed: ");
        printWide(message);
        putchar('\n');
        return 1;
    }

    /* Read the copy back: one row descriptor per row, texts in 16-bit characters. */
    SQLDADescriptor* rows = NULL;
    int count = 0;
    status = tqDBWin_readEntireTable(u"parts", &rows, &count, message);
    if (status != 0 || message[0]) {
        printf("read failed: ");
        printWide(message);
        putchar('\n');
        return 1;
    }
    printf("copied %d rows into %s\n", count, argv[2]);
    for (int r = 0; r < count; ++r) {
        printf(" ");
        for (int c = 0; c < rows[r].count; ++c) {
            printf(" ");
            printWide((const tqWChar*)rows[r].values[c]); /* NULL: the value could not be read */
        }
        putchar('\n');
    }
    tqDBWin_freeEntireTable(&rows, count);
    tqDBWin_disconnectDatabase();
    return 0;
}
