/* A stand-in for the About library: records each call's arguments in the
   file named by SCRIVLET_ABOUT_PROBE_LOG. */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

__attribute__((visibility("default"))) void AboutQuilloSystem(int32_t a, int32_t b, int32_t c, int32_t d,
                                                              int32_t e) {
    const char* log = getenv("SCRIVLET_ABOUT_PROBE_LOG");
    if (log == NULL)
        return;
    FILE* f = fopen(log, "a");
    if (f == NULL)
        return;
    fprintf(f, "%d %d %d %d %d\n", (int)a, (int)b, (int)c, (int)d, (int)e);
    fclose(f);
}
