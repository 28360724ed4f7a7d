/* A C11 host: the header compiles without warnings and the library links and answers. */
#include <stdio.h>
#include <string.h>

#include "orvane.h"

static int failures = 0;
#define CHECK(cond)                                                   \
    do {                                                              \
        if (!(cond)) {                                                \
            fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #cond); \
            ++failures;                                               \
        }                                                             \
    } while (0)

int main(void) {
    char token[32];
    CHECK(tqString_getTokenA(token, "alpha, beta", " ", " ", NULL, ",", NULL) == 6);
    CHECK(strcmp(token, "alpha") == 0);

    tqWChar wide[8];
    CHECK(tqString_copyNW(wide, u"abcdef", 3) == 3);
    CHECK(wide[2] == u'c' && wide[3] == 0);

    unsigned got = 0;
    void* block = tqMisc_callocBuffer(100, &got);
    CHECK(block != NULL && got == 100);
    CHECK(tqMisc_isDataNull((const unsigned char*)block, (int)got) == 1);
    tqMisc_freeBuffer(&block);
    CHECK(block == NULL);

    char* dyn = NULL;
    tqStringDynamic_addV(&dyn, "%s-%d", "x", 7);
    CHECK(dyn != NULL && strcmp(dyn, "x-7") == 0);
    tqStringDynamic_freeA(&dyn);
    return failures == 0 ? 0 : 1;
}
