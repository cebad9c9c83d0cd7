// Timers of the foreground window: ids and periods.
#pragma once

enum FlowTimer : unsigned {
    TIMER_PROGRESS_BAR = 50000,  // copies the progress fraction to the bar
    TIMER_GAME_WATCH = 50001,    // waits for the game to end, then starts the flow
    TIMER_LAUNCH_GAME = 50002,   // one-shot: starts the game
    TIMER_RESTART = 50003,       // one-shot: restarts the launcher
    TIMER_STATUS_LINE = 50005,   // speed and remaining-time line
};

constexpr unsigned kProgressBarPeriodMs = 50;
constexpr unsigned kGameWatchPeriodMs = 500;
constexpr unsigned kLaunchGameDelayMs = 30;
constexpr unsigned kRestartDelayMs = 1000;
constexpr unsigned kStatusLinePeriodMs = 1000;
