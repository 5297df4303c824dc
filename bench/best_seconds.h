#pragma once
// The best of some rounds of a work (three unless told), in seconds: the
// noise of a shared machine only ever adds time.
#include <algorithm>
#include <chrono>

template <typename Work>
double BestSeconds(Work work, int rounds = 3) {
    double best = 1e9;
    for (int round = 0; round < rounds; ++round) {
        const auto start = std::chrono::steady_clock::now();
        work();
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}
