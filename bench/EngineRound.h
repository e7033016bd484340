#pragma once

#include "RoundResult.h"

#include <chrono>

class TRHostController;

// Runs one round of the engine over its hosts - ping() until roundFinished - on this thread's
// event loop and measures it. With `probeStalls` a 1 ms precise timer shares the loop and the
// longest stall is reported too; it costs wakeups, so the rounds whose CPU time is compared run
// without it. Throws BenchFailure when a check fails or the round overruns `limit`.
RoundResult runEngineRound(TRHostController &engine, bool probeStalls, std::chrono::seconds limit);
