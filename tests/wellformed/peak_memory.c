// peak_memory PROGRAM [ARGUMENT...]: runs PROGRAM as a child, its output discarded, and prints
// "EXIT PEAK_KB OWN_KB": the child's exit status (-1 when a signal ended it), the peak resident
// size the kernel counted for it, and this launcher's own peak before it started the child.
//
// Why a launcher: a child's peak resident size includes the high-water mark of the memory it had
// before exec, that is, a copy of its parent. Forked from a large test process, any program seems
// as large as the test. Forked from this small program, a child's peak is its own unless it never
// grows past the launcher's size; OWN_KB lets the caller see that case and refuse to judge. The
// launcher's own peak is read from its memory map's high-water mark, which starts anew at exec,
// not from its resource usage, which carries over what exec left behind.
#define _GNU_SOURCE
#include <stdio.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

static long own_peak_kb(void) {
    char line[256];
    long kb = -1;
    FILE* status = fopen("/proc/self/status", "r");
    if (!status) return -1;
    while (fgets(line, sizeof line, status))
        if (sscanf(line, "VmHWM: %ld", &kb) == 1) break;
    fclose(status);
    return kb;
}

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: peak_memory PROGRAM [ARGUMENT...]\n");
        return 2;
    }
    const long own_kb = own_peak_kb();
    const pid_t pid = fork();
    if (pid == 0) {
        if (!freopen("/dev/null", "w", stdout)) _exit(127);
        execvp(argv[1], argv + 1);
        _exit(127);
    }
    int status = 0;
    struct rusage usage;
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid) {
        perror("peak_memory");
        return 1;
    }
    printf("%d %ld %ld\n", WIFEXITED(status) ? WEXITSTATUS(status) : -1, usage.ru_maxrss, own_kb);
    return fflush(stdout) == 0 ? 0 : 1;
}
