/* A host program built against the installed package only. */
#include <orvane.h>
#include <stdio.h>

int main(void) {
    char token[16];
    int used = tqString_getTokenA(token, "alpha, beta", " ", " ", NULL, ",", NULL);
    printf("%d %s\n", used, token);
    return used == 6 ? 0 : 1;
}
