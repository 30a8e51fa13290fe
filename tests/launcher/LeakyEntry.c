/* An application library for the launcher's tests that loses memory on purpose: in a sanitizer
   build the run must end with the leak reported and a failing exit code. */
#include <stdlib.h>
#include <string.h>

__attribute__((visibility("default"))) int OspMain(int argc, char** argv)
{
    (void)argc;
    (void)argv;
    char* lost = malloc(4096);
    memset(lost, 1, 4096);
    lost = NULL;
    return 0;
}
