#pragma once

#include "configmodel.h"

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

// A generated configuration. Profile i selects resolution 1 when i is even, so that half
// of the profiles use it, and spreads over the other entries otherwise; every third
// profile has free arguments.
struct GeneratedConfig
{
    QList<ConfigSection> sections;
    QList<LaunchProfile> profiles;
};

GeneratedConfig GenerateConfig(int profileCount, int resolutionCount, int densityCount,
                               int inputCount, int agentCount);

// `entries` entries in all: half of them profiles, the rest shared by the option sections.
GeneratedConfig GenerateEntries(int entries);

// Removes a flag of our own, such as "--short", from the arguments; true when it was there.
bool TakeFlag(int &argc, char **argv, const char *flag);

// Google Benchmark's console table, followed by a summary that sets figures of the same
// run side by side: a ratio to a reference, the growth from one size to the next, or a
// time against a budget. Each line says whether its goal was met; nothing is asserted.
class SummaryReporter : public benchmark::ConsoleReporter
{
public:
    // With useCpuTime the summary compares the process's CPU time, which other work on a
    // shared machine disturbs far less than the wall-clock time.
    explicit SummaryReporter(bool useCpuTime = false) : cpuTime(useCpuTime) {}

    // Names are the benchmark's name and arguments, such as "ConfigRead/1000".
    void AddRatio(const std::string &label, const std::string &name, const std::string &reference,
                  double maxRatio);
    void AddScaling(const std::string &label, const std::string &smaller, const std::string &larger,
                    double maxFactor);
    void AddBudget(const std::string &label, const std::string &name, double maxMs);

    void ReportRuns(const std::vector<Run> &runs) override;
    void Finalize() override;

private:
    struct Line
    {
        enum Kind
        {
            Ratio,
            Scaling,
            Budget
        } kind;
        std::string label;
        std::string name;
        std::string reference;
        double goal;
    };
    bool cpuTime;
    std::vector<Line> lines;
    std::map<std::string, double> seconds; // per iteration
};
