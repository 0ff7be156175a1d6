#include "step_log.h"

#include <windows.h>
#include <stdio.h>

int logEnabled = 0;
int logCounter = 0;

namespace {

const wchar_t kLogFolder[] = L"C:\\Kolbrith\\Logs";
const wchar_t kLogFile[] = L"C:\\Kolbrith\\Logs\\Tavrelon.LOG";
const wchar_t kSection[] = L"Tavrelon_Logs";

// "Log#" and any int, with its terminator.
wchar_t logKey[sizeof("Log#-2147483648")];

} // namespace

void WriteLogEntry(const wchar_t* message)
{
    ++logCounter;
    _snwprintf(logKey, sizeof(logKey) / sizeof(logKey[0]), L"Log#%d", logCounter);
    // A failed write is not reported: the log is best effort.
    WritePrivateProfileStringW(kSection, logKey, message, kLogFile);
}

void StartStepLog()
{
    // Anything at the folder path counts; the attributes are not examined.
    if (GetFileAttributesW(kLogFolder) == INVALID_FILE_ATTRIBUTES)
        return;
    WriteLogEntry(L" C:\\Kolbrith\\Logs folder exists. Creating the logfile...");
    logEnabled = 1;
}

void LogStep(const wchar_t* message)
{
    if (logEnabled == 1)
        WriteLogEntry(message);
}
