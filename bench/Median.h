#pragma once

// The median time of a call over a number of rounds; prepare runs before each round, untimed.

#include <algorithm>
#include <chrono>
#include <vector>

namespace pulo::bench {

template <typename Call, typename Prepare> double MedianMicroseconds(Call call, Prepare prepare, int rounds)
{
    std::vector<double> times;
    times.reserve(static_cast<std::size_t>(rounds));
    for (int i = 0; i < rounds; ++i) {
        prepare(i);
        const auto start = std::chrono::steady_clock::now();
        call();
        times.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    }
    std::nth_element(times.begin(), times.begin() + rounds / 2, times.end());
    return times[static_cast<std::size_t>(rounds / 2)];
}

template <typename Call> double MedianMicroseconds(Call call, int rounds)
{
    return MedianMicroseconds(
        call, [](int) {}, rounds);
}

} // namespace pulo::bench
