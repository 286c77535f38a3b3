// Runs the many-PC sync simulation over many seeds: each failing seed is printed with the
// invariants it broke, then what a seed costs and how many seeds a second went through.
//
//   sync_simulation.exe            2,000 seeds from 1
//   sync_simulation.exe 300        300 seeds from 1
//   sync_simulation.exe 300 1000   300 seeds from 1000
//   sync_simulation.exe --seed 17  seed 17 alone, its trace printed as it runs
//
// and, before or after those, --steps N (30), --pcs N (3), --no-crashes (no PC killed at a write)
// and --same-clocks (every PC's clock the world's), which a seed needs again to replay.
//
// Ends with "N seeds, K failed" and exits with 1 when K is not 0.

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "tests/support/sim/SimRun.h"

using namespace Lorvex::Testing::Sim;

int main(int argc, char** argv) {
    SetConsoleOutputCP(CP_UTF8);
    uint64_t first = 1;
    uint64_t count = 2000;
    bool alone = false;
    RunOptions options;
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const bool valued = i + 1 < argc;
        if (argument == "--seed" && valued) {
            first = std::strtoull(argv[++i], nullptr, 10);
            count = 1;
            alone = true;
        } else if (argument == "--steps" && valued) {
            options.steps = std::atoi(argv[++i]);
        } else if (argument == "--pcs" && valued) {
            options.pcs = std::atoi(argv[++i]);
        } else if (argument == "--no-crashes") {
            options.crashes = false;
        } else if (argument == "--same-clocks") {
            options.skewedClocks = false;
        } else if (positional == 0) {
            count = std::strtoull(argv[i], nullptr, 10);
            ++positional;
        } else {
            first = std::strtoull(argv[i], nullptr, 10);
        }
    }
    options.verbose = alone;
    const auto start = std::chrono::steady_clock::now();
    uint64_t failed = 0;
    Stats total;
    std::map<std::string, uint64_t> broken;  // invariant -> seeds that broke it
    for (uint64_t seed = first; seed < first + count; ++seed) {
        const RunResult result = RunSeed(seed, options);
        const Stats& stats = result.stats;
        total.steps += stats.steps;
        total.rounds += stats.rounds;
        total.turns += stats.turns;
        total.restarts += stats.restarts;
        total.crashes += stats.crashes;
        total.replies += stats.replies;
        total.settlePasses += stats.settlePasses;
        total.tableReads += stats.tableReads;
        total.tableWrites += stats.tableWrites;
        total.objectRequests += stats.objectRequests;
        total.authRequests += stats.authRequests;
        total.settingUp += stats.settingUp;
        total.starting += stats.starting;
        total.inRounds += stats.inRounds;
        total.onReplies += stats.onReplies;
        total.checking += stats.checking;
        total.seconds += stats.seconds;
        if (result.failures.empty()) {
            if (alone) {
                std::printf("seed %llu kept every invariant\n", static_cast<unsigned long long>(seed));
            }
            continue;
        }
        ++failed;
        std::map<std::string, bool> seen;
        for (const Failure& failure : result.failures) {
            if (!seen[failure.invariant]) {
                seen[failure.invariant] = true;
                ++broken[failure.invariant];
            }
        }
        if (alone) {
            std::printf("%s", Report(result, 1).c_str());
        } else {
            std::printf("seed %llu broke:\n", static_cast<unsigned long long>(seed));
            for (const Failure& failure : result.failures) {
                std::printf("  [%s] %s\n", failure.invariant.c_str(), failure.detail.c_str());
            }
        }
        std::fflush(stdout);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double n = static_cast<double>(count);
    std::printf(
        "\nper seed: %.1f steps, %.1f rounds, %.1f PC starts (%.1f restarts, %.1f crashes), %.1f replies, "
        "%.1f settle passes\n",
        total.steps / n, total.rounds / n, total.turns / n, total.restarts / n, total.crashes / n, total.replies / n,
        total.settlePasses / n);
    std::printf("per seed: %.1f table reads, %.1f table writes, %.1f bucket requests, %.1f auth requests\n",
                total.tableReads / n, total.tableWrites / n, total.objectRequests / n, total.authRequests / n);
    std::printf(
        "per seed: %.3f s: %.3f s setting up the world, %.3f s starting and ending PCs, %.3f s in rounds "
        "and sign-ins, %.3f s waiting for replies, %.3f s checking, %.3f s in the users' actions\n",
        total.seconds / n, total.settingUp / n, total.starting / n, total.inRounds / n, total.onReplies / n,
        total.checking / n,
        (total.seconds - total.settingUp - total.starting - total.inRounds - total.onReplies - total.checking) / n);
    for (const auto& [invariant, seeds] : broken) {
        std::printf("invariant %s broken by %llu seeds (%.1f%%)\n", invariant.c_str(),
                    static_cast<unsigned long long>(seeds), 100.0 * seeds / n);
    }
    std::printf("%.2f seeds per second (%.2f s a seed)\n", n / seconds, seconds / n);
    std::printf("%llu seeds, %llu failed\n", static_cast<unsigned long long>(count),
                static_cast<unsigned long long>(failed));
    return failed == 0 ? 0 : 1;
}
