#pragma once

#include <sys/types.h>

#include <QString>
#include <cstdint>
#include <vector>

namespace bench {

// Both cores busy with processes of our own, for as long as the object lives.
class CpuLoad {
public:
    explicit CpuLoad(int processes = 2);
    ~CpuLoad();

private:
    std::vector<pid_t> pids_;
};

struct Summary {
    double median = 0, p99 = 0, worst = 0;
    size_t n = 0;
};
Summary summarize(std::vector<double> values);

// Seconds to measure: `full`, or `quick` with PENDRA_BENCH_QUICK=1.
int span(int full, int quick);

std::int64_t bootNowNs();
std::int64_t monoNowNs();

}  // namespace bench
