// The hang-up signal (SIGHUP), by which log rotation asks a program to reopen
// its log files. Windows has none: there no hang-up ever arrives.
#pragma once

namespace platform {

// From now on a hang-up is counted instead of ending the process. May be
// called from any thread, any number of times.
void CountHangups();

// How many hang-ups have arrived since CountHangups was first called.
unsigned HangupCount();

}  // namespace platform
