// Prints how `penflash update --all` scales with the number of pens: the
// wall time of a whole update of 1, 4 and 16 emulated pens (--emulate normal
// --emulate-pens N --image FILE, a 53,256-byte image; each pen takes one
// report a millisecond and comes back about a second after its switch), as
// the time of N pens divided by the time of one (targets: 4 pens at most
// 1.3, 16 pens at most 2, on a 2-core machine). Each figure is the best of
// three runs, since the machine may be shared. Where a target is missed it
// also says what bounds the run: the processor (the pens' processes kept
// every core busy) or the waits of the pens themselves.
// POSIX systems only, as --all is.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

struct Timing {
    double wall = 0;  // seconds
    double cpu = 0;   // processor seconds of penflash and its children
    int exitCode = -1;
};

double ChildrenCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
           usage.ru_stime.tv_usec / 1e6;
}

// Runs penflash update --all on pens emulated pens, its output discarded.
Timing RunAll(const std::string& image, unsigned pens) {
    const std::string count = std::to_string(pens);
    std::vector<std::string> args = {
        PENFLASH_BENCH_PROGRAM, "update", "--all",   "--yes", "--emulate", "normal",
        "--emulate-pens",       count,    "--image", image};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);

    Timing timing;
    const double cpu0 = ChildrenCpuSeconds();
    const auto start = Clock::now();
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        timing.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    timing.wall = std::chrono::duration<double>(Clock::now() - start).count();
    timing.cpu = ChildrenCpuSeconds() - cpu0;
    posix_spawn_file_actions_destroy(&actions);
    return timing;
}

// The best of three runs; a failed run is returned at once.
Timing Best(const std::string& image, unsigned pens) {
    Timing best;
    for (int run = 0; run < 3; ++run) {
        const Timing t = RunAll(image, pens);
        if (t.exitCode != 0) return t;
        if (run == 0 || t.wall < best.wall) best = t;
    }
    return best;
}

}  // namespace

int main() {
    char image[] = "/tmp/penflash-bench-XXXXXX";
    const int fd = mkstemp(image);
    if (fd < 0) {
        std::perror("penflash_all_bench: mkstemp");
        return 1;
    }
    close(fd);
    {
        std::ofstream out(image, std::ios::binary | std::ios::trunc);
        for (int i = 0; i < 53256; ++i) out.put(static_cast<char>(i * 7 + i / 13));
    }
    const unsigned cores = std::thread::hardware_concurrency();

    struct Row {
        unsigned pens;
        double target;  // at most this many times the time of one pen; 0: the reference
        Timing timing;
    };
    std::vector<Row> rows = {{1, 0, {}}, {4, 1.3, {}}, {16, 2.0, {}}};
    bool ok = true;
    std::printf(
        "penflash update --all, 53,256-byte image, emulated pens "
        "(best of 3 runs, %u cores):\n",
        cores);
    for (Row& row : rows) {
        row.timing = Best(image, row.pens);
        const double share = row.timing.cpu / row.timing.wall / (cores == 0 ? 1 : cores);
        std::printf("  %2u pen%s: %.2f s wall, %.2f s of processor time (%.0f%% of all cores)%s\n",
                    row.pens, row.pens == 1 ? " " : "s", row.timing.wall, row.timing.cpu,
                    share * 100, row.timing.exitCode == 0 ? "" : "  [UPDATE FAILED]");
        ok = ok && row.timing.exitCode == 0;
    }
    const Timing& one = rows[0].timing;
    for (const Row& row : rows) {
        if (row.target == 0) continue;
        const double ratio = row.timing.wall / one.wall;
        const bool met = ratio <= row.target;
        std::printf("%2u pens / 1 pen: %.2f (target <= %.1f)%s\n", row.pens, ratio, row.target,
                    met ? "" : "  MISSED");
        if (!met) {
            const double share = row.timing.cpu / row.timing.wall / (cores == 0 ? 1 : cores);
            if (share >= 0.8) {
                std::printf(
                    "  bound by the processor: the pens' processes kept %.0f%% of %u "
                    "cores busy (%.2f s of processor time in %.2f s)\n",
                    share * 100, cores, row.timing.cpu, row.timing.wall);
            } else {
                std::printf(
                    "  not bound by the processor (%.0f%% of %u cores busy): the time "
                    "goes in waits, the pens' own pace or the machine's other load\n",
                    share * 100, cores);
            }
        }
        ok = ok && met;
    }
    unlink(image);
    return ok ? 0 : 1;
}
