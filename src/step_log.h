#pragma once

// Process-wide logging state. Both start at 0 before the entry point runs.
extern int logEnabled;  // 1 once the log folder has been found; never reset
extern int logCounter;  // number of the last entry written

// Turns logging on and writes the first entry if the log folder exists.
// Called once, before any LogStep.
void StartStepLog();

// Writes message as the next numbered entry while logging is on.
void LogStep(const wchar_t* message);

// Writes message as the next numbered entry, whether logging is on or not.
void WriteLogEntry(const wchar_t* message);
