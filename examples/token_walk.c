/* token_walk: walks a list string with the tokenizer, then reads and builds lists with
 * the list functions.   usage: token_walk ["LIST"] */
#include <orvane.h>
#include <stdio.h>
#include <string.h>

int main(int argc, char** argv) {
    const char* list = argc > 1 ? argv[1] : " red, green ;blue,, 'dark, grey' ";
    char token[1024];

    /* Each call takes one token from the front and says how much it consumed: blanks are
     * skipped and trimmed, ',' and ';' separate, and a quoted entry keeps its comma. */
    printf("tokens of [%s]:\n", list);
    for (size_t at = 0, length = strlen(list); at < length;) {
        int used = tqString_getTokenExtA(token, list + at, " ", " ", NULL, ",;", NULL, "'");
        if (used <= 0) break;
        printf("  [%s]\n", token);
        at += (size_t)used;
    }

    /* The list functions read the same text by entry. An entry's pointer is not
     * terminated at its end: the tokenizer cuts it out. */
    int size = tqString_listGetSize(list, ",;", "'");
    printf("%d entries\n", size);
    const char* last = tqString_listGetEntryA(list, ",;", "'", size - 1);
    if (last) {
        tqString_getTokenExtA(token, last, " ", " ", NULL, ",;", NULL, "'");
        printf("last entry: [%s]\n", token);
    }
    printf("green is %sa member\n", tqString_listIsMemberA(list, "GREEN", ",;", " ", 1) ? "" : "not ");

    /* Building a list: entries go in after ", " and the first one is capitalised. */
    char built[1024] = "";
    tqStringFixed_listAppendA(built, "%s", "cyan");
    tqStringFixed_listAppendA(built, "%d", 42);
    tqStringFixed_listAppendA(built, "%.2f", 0.5);
    printf("built: %s\n", built);
    return 0;
}
