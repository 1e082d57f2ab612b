#include "BenchSupport.h"

#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

namespace bench {

CpuLoad::CpuLoad(int processes) {
    for (int i = 0; i < processes; ++i) {
        const pid_t pid = fork();
        if (pid == 0) {
            volatile std::uint64_t x = 0;
            for (;;) {
                x = x + 1;
            }
        }
        if (pid > 0) {
            pids_.push_back(pid);
        }
    }
}

CpuLoad::~CpuLoad() {
    for (pid_t pid : pids_) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
}

Summary summarize(std::vector<double> v) {
    Summary s;
    s.n = v.size();
    if (v.empty()) {
        return s;
    }
    std::sort(v.begin(), v.end());
    s.median = v[v.size() / 2];
    s.p99 = v[std::min(v.size() - 1, size_t(double(v.size()) * 0.99))];
    s.worst = v.back();
    return s;
}

int span(int full, int quick) {
    const char* q = std::getenv("PENDRA_BENCH_QUICK");
    return (q != nullptr && q[0] == '1') ? quick : full;
}

std::int64_t bootNowNs() {
    timespec ts{};
    clock_gettime(CLOCK_BOOTTIME, &ts);
    return std::int64_t(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

std::int64_t monoNowNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::int64_t(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

}  // namespace bench
