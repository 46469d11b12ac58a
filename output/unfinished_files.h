#pragma once
// The temporary files being written at this moment, so that a program
// stopped by a signal (Ctrl+C, a kill) removes them before it goes instead
// of leaving hidden half-written files beside its output.

namespace output {

// Notes `path` as being written; the slot to forget it by, or -1 when every
// slot is taken or the path is too long (the file is then not removed by a
// signal, as before).
int noteUnfinished(const char* path) noexcept;
// The file of `slot` is complete (renamed to its final name) or removed.
void forgetUnfinished(int slot) noexcept;

// Removes every noted file. Safe in a signal handler.
void removeUnfinishedFiles() noexcept;

// SIGINT, SIGTERM and SIGHUP remove the noted files, then end the program as
// the signal would have.
void removeUnfinishedFilesOnSignals();

}  // namespace output
