/* A broken application library for the launcher's tests: it exports OspMain, but as a
   variable, not a function. */
__attribute__((visibility("default"))) int OspMain = 42;
