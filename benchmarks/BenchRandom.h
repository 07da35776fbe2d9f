#pragma once

#include <cstddef>
#include <vector>

// `count` values drawn from `distribution` by `engine`, which the caller seeds so that
// every run measures the same data.
template <typename Distribution, typename Engine>
std::vector<typename Distribution::result_type> randomValues(size_t count, Distribution distribution, Engine engine)
{
    std::vector<typename Distribution::result_type> values(count);
    for (auto &value : values)
        value = distribution(engine);
    return values;
}
