#pragma once

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <dirent.h>

// Small helpers the benchmark programs share: clocks, percentiles, the process's memory.
namespace vimo::bench {

inline double NowMs()
{
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

// The value below which the given share of the samples lie (nearest rank).
inline double Percentile(std::vector<double> samples, double share)
{
    if (samples.empty())
        return 0;
    std::sort(samples.begin(), samples.end());
    const auto rank = size_t(std::lround(share * double(samples.size() - 1)));
    return samples[std::min(rank, samples.size() - 1)];
}

// A field of /proc/PID/smaps_rollup or /proc/PID/status in kB, 0 when absent.
inline long ProcKb(const std::string& file, const std::string& field)
{
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, field.size() + 1, field + ":") == 0)
            return std::stol(line.substr(field.size() + 1));
    }
    return 0;
}

inline long SelfRssKb()
{
    return ProcKb("/proc/self/status", "VmRSS");
}

inline int SelfOpenFiles()
{
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir) != nullptr)
            ++count;
        closedir(dir);
    }
    return count - 3; // ".", ".." and the directory itself
}

inline std::string ToText(const std::string& text)
{
    return text;
}
inline std::string ToText(const char* text)
{
    return text;
}
inline std::string ToText(double value)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.4f", value);
    return buffer;
}
inline std::string ToText(long value)
{
    return std::to_string(value);
}
inline std::string ToText(int value)
{
    return std::to_string(value);
}

// One result line for the suite: tab-separated, first field the kind of row.
template <typename... Fields> void Row(const char* kind, const Fields&... fields)
{
    std::string line = kind;
    ((line += '\t', line += ToText(fields)), ...);
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

} // namespace vimo::bench
