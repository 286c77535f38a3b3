#pragma once
// One seed of the simulation from start to end: the world's PCs set up (each clock up to an hour
// off, some holding records before their first sign-in), then a number of steps, each a PC and
// an action drawn from the seed (the users' work, rounds full, upload-only or held while the
// users go on, idle time for the timers, offline spells, restarts, crashes at a write, sign-outs
// and sign-ins), then Settle and the checks. The simulation's thread only; one seed at a time per
// process.

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/sim/SimWorld.h"

namespace Lorvex::Testing::Sim {

struct RunOptions {
    int pcs = 3;
    int steps = 30;
    bool crashes = true;       // false: no PC is killed at a write
    bool skewedClocks = true;  // false: every PC's clock reads the world's, in the same zone
    bool verbose = false;      // the trace printed as it happens

    // The benchmark's arguments that run a seed with these options, after "--seed N".
    std::string Arguments() const;
};

struct RunResult {
    uint64_t seed = 0;
    RunOptions options;
    std::vector<Failure> failures;
    std::vector<std::string> trace;
    Stats stats;
};

RunResult RunSeed(uint64_t seed, const RunOptions& options = {});

// The seed's findings, each invariant it broke with what broke it, then the last `traceLines`
// lines of its trace (all of it for 0) and how to run it alone. UTF-8.
std::string Report(const RunResult& result, size_t traceLines = 0);

// Draws one action of the users from the generator and does it on the open PC.
void UserAction(World& world, Random& random);

}  // namespace Lorvex::Testing::Sim
