/* plugin_exchange: a session with a plug-in server such as orvane-plugind: a checksum of
 * a text, then a file sent and its echo saved as a copy.
 * usage: plugin_exchange HOST PORT FILE COPY */
#include <orvane.h>
#include <stdio.h>
#include <string.h>

int main(int argc, char** argv) {
    if (argc != 5) {
        fprintf(stderr, "usage: plugin_exchange HOST PORT FILE COPY\n");
        return 2;
    }
    const char *host = argv[1], *port = argv[2];

    /* Session 1, service "sum": one buffer segment, a reply in memory. */
    socketData* connection = NULL;
    char answer[TQ_SERVER_REPLY_BYTES] = "";
    int status = tqServer_openConnectionToPlugin(&connection, host, port, "sum", answer);
    if (status == 3) {
        fprintf(stderr, "no server at %s:%s\n", host, port);
        return 1;
    }
    if (status != 0) {
        fprintf(stderr, "the server refused the session\n");
        tqServer_closeConnectionToPlugin(connection); /* opened: must still be closed */
        return 1;
    }
    printf("server answered OK%s\n", answer);
    const char text[] = "hello, plug-in";
    void* reply = NULL;
    int size = 0;
    if (tqServer_sendBufferToPlugin(connection, text, (int)strlen(text)) != 0 ||
        tqServer_getDataFromPlugin(connection, &reply, &size) != 0) {
        fprintf(stderr, "sum: the exchange failed\n");
        tqServer_closeConnectionToPlugin(connection);
        return 1;
    }
    printf("sum of \"%s\": %.*s", text, size, (const char*)reply);
    tqMisc_freeBuffer(&reply); /* the library's block goes back to the library */
    tqServer_closeConnectionToPlugin(connection);

    /* Session 2, service "echo": a file segment out, the reply straight into a file. */
    connection = NULL;
    status = tqServer_openConnectionToPlugin(&connection, host, port, "echo", NULL);
    if (status != 0) {
        if (status != 3) tqServer_closeConnectionToPlugin(connection);
        fprintf(stderr, "echo: no session\n");
        return 1;
    }
    status = tqServer_sendFileToPlugin(connection, argv[3]);
    if (status == 0) status = tqServer_getFileFromPlugin(connection, argv[4]);
    tqServer_closeConnectionToPlugin(connection);
    if (status != 0) {
        fprintf(stderr, "echo: the exchange failed\n");
        return 1;
    }
    printf("%s came back as %s\n", argv[3], argv[4]);
    return 0;
}
