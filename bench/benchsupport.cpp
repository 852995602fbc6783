#include "benchsupport.h"

#include <cstdio>
#include <cstring>

GeneratedConfig GenerateConfig(int profileCount, int resolutionCount, int densityCount,
                               int inputCount, int agentCount)
{
    GeneratedConfig config;
    config.sections = CreateSections();
    const auto fill = [&](int section, int count, const QString &prefix, const QString &value) {
        for (int i = 0; i < qMax(count, 1); ++i)
            config.sections[section].entries.append(
                ConfigEntry{prefix + QString::number(i), value.arg(i)});
    };
    fill(ResolutionSection, resolutionCount, QStringLiteral("Screen "),
         QStringLiteral(" -windowsize %1x1280"));
    fill(PixelDensitySection, densityCount, QStringLiteral("Density "), QStringLiteral(" -ppi %1"));
    fill(InputSection, inputCount, QStringLiteral("Input "), QStringLiteral(" -input %1"));
    fill(UserAgentSection, agentCount, QStringLiteral("Agent "),
         QStringLiteral(" -ua \"Mozilla/5.0 (Linux; Android 14; Device %1) Mobile\""));

    const auto spread = [](int i, int count) { return count > 0 ? i % count : 0; };
    for (int i = 0; i < profileCount; ++i) {
        LaunchProfile profile;
        profile.name = QStringLiteral("Profile %1").arg(i, 6, 10, QLatin1Char('0'));
        const int resolution = i % 2 == 0 || resolutionCount < 3
                                   ? qMin(1, resolutionCount - 1)
                                   : 2 + spread(i / 2, resolutionCount - 2);
        profile.selections = {resolution, spread(i, densityCount), spread(i, inputCount),
                              spread(i, agentCount)};
        if (i % 3 == 0)
            profile.arguments = QStringLiteral(" -url https://example.org/%1").arg(i);
        config.profiles.append(profile);
    }
    return config;
}

GeneratedConfig GenerateEntries(int entries)
{
    const int options = entries / 2 / 4;
    return GenerateConfig(entries - 4 * options, options, options, options, options);
}

bool TakeFlag(int &argc, char **argv, const char *flag)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], flag) == 0) {
            for (int j = i; j < argc; ++j)
                argv[j] = argv[j + 1];
            --argc;
            return true;
        }
    }
    return false;
}

void SummaryReporter::AddRatio(const std::string &label, const std::string &name,
                               const std::string &reference, double maxRatio)
{
    lines.push_back(Line{Line::Ratio, label, name, reference, maxRatio});
}

void SummaryReporter::AddScaling(const std::string &label, const std::string &smaller,
                                 const std::string &larger, double maxFactor)
{
    lines.push_back(Line{Line::Scaling, label, larger, smaller, maxFactor});
}

void SummaryReporter::AddBudget(const std::string &label, const std::string &name, double maxMs)
{
    lines.push_back(Line{Line::Budget, label, name, std::string(), maxMs});
}

void SummaryReporter::ReportRuns(const std::vector<Run> &runs)
{
    ConsoleReporter::ReportRuns(runs);
    for (const Run &run : runs) {
        if (run.run_type != Run::RT_Iteration || run.error_occurred || run.iterations == 0)
            continue;
        std::string name = run.run_name.function_name;
        if (!run.run_name.args.empty())
            name += '/' + run.run_name.args;
        const double total = cpuTime ? run.cpu_accumulated_time : run.real_accumulated_time;
        seconds[name] = total / static_cast<double>(run.iterations);
    }
}

void SummaryReporter::Finalize()
{
    ConsoleReporter::Finalize();
    std::FILE *out = stdout;
    std::fprintf(out, "\nSummary of %s time (goals are reported, not asserted)\n",
                 cpuTime ? "CPU" : "wall-clock");
    for (const Line &line : lines) {
        const auto found = seconds.find(line.name);
        const auto reference = seconds.find(line.reference);
        if (found == seconds.end() || (line.kind != Line::Budget && reference == seconds.end())) {
            std::fprintf(out, "  %-44s not measured\n", line.label.c_str());
            continue;
        }
        const double ms = found->second * 1000.0;
        if (line.kind == Line::Budget) {
            std::fprintf(out, "  %-44s %10.3f ms  (goal < %.0f ms) %s\n", line.label.c_str(), ms,
                         line.goal, ms < line.goal ? "met" : "MISSED");
            continue;
        }
        // A ratio to another program, or the growth from a smaller size: both are quotients.
        const double quotient = found->second / reference->second;
        const char *format = line.kind == Line::Ratio
                                 ? "  %-44s %10.3f ms vs %10.3f ms  ratio %5.2f (goal <= %.2f) %s\n"
                                 : "  %-44s %10.3f ms vs %10.3f ms  x%5.2f (goal <= x%.1f) %s\n";
        std::fprintf(out, format, line.label.c_str(), ms, reference->second * 1000.0, quotient,
                     line.goal, quotient <= line.goal ? "met" : "MISSED");
    }
    std::fflush(out);
}
