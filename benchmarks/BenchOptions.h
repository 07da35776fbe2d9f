#pragma once

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

// One integer option of a benchmark's command line, "--name value", and where its value goes.
struct BenchOption
{
    const char *name;
    int *value;
};

// Reads "--name value" pairs in any order into the options named. On a name not among
// them, a name without value or a value that is not a whole number in the range of int,
// prints "usage: " and `usage` to stderr and returns false. The caller checks the ranges.
inline bool parseBenchOptions(int argc, char **argv, std::initializer_list<BenchOption> options, const char *usage)
{
    for (int k = 1; k < argc; ++k) {
        int *target = nullptr;
        for (const BenchOption &option : options)
            if (std::strcmp(argv[k], option.name) == 0)
                target = option.value;
        char *end = nullptr;
        errno = 0;
        const long value = target && k + 1 < argc ? std::strtol(argv[++k], &end, 10) : 0;
        if (!end || end == argv[k] || *end != '\0' || errno == ERANGE || value < INT_MIN || value > INT_MAX) {
            std::fprintf(stderr, "usage: %s\n", usage);
            return false;
        }
        *target = int(value);
    }
    return true;
}
