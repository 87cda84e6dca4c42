/* The module's interface from a program written in plain C, as a C host would use it: the
 * generated header compiles as C99, the module loads, and an entry point answers (what every
 * entry point does is the driver cases'). Prints
 * "N passed, N failed" and exits non-zero on a failure. */
#include <dlfcn.h>
#include <stdio.h>
#include <string.h>

#include "entry_points.h"

/* The host services the module imports, from this executable. */
void _store_bin(uint32_t handle, const char* bytes, int32_t length) {
    (void)handle;
    (void)bytes;
    (void)length;
}
void* xCreateFlatDriverFile(uint32_t argument, void (*getter)(uint32_t)) {
    (void)argument;
    (void)getter;
    return NULL;
}

static int passed, failed;
static void check(int ok, const char* what) {
    if (ok) {
        ++passed;
    } else {
        ++failed;
        printf("FAILED: %s\n", what);
    }
}

int main(void) {
    void* module = dlopen(EPL2_MODULE_PATH, RTLD_NOW);
    epl2_prtinfo_fn prtinfo;
    const char* note = NULL;

    if (module == NULL) {
        printf("cannot load %s: %s\n", EPL2_MODULE_PATH, dlerror());
        return 1;
    }
    *(void**)&prtinfo = dlsym(module, "prtinfo");
    check(prtinfo != NULL, "an entry point resolves by name");
    if (failed) return 1;

    check(prtinfo(0, 11, (uint32_t)(uintptr_t)&note) == 0 && note != NULL &&
              strcmp(note, "Stand alone code will always be produced.") == 0,
          "prtinfo hands out a note");
    dlclose(module);
    printf("%d passed, %d failed\n", passed, failed);
    return failed ? 1 : 0;
}
