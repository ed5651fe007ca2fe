// The engine's diagnostic log. Failed platform calls are reported to it with the source file,
// the line and the error's name and description. Without a sink the report is accepted and
// discarded; the programs (launcher, host, tools) attach one that writes to standard error
// (StreamSink), and tests attach their own to see each report.
#pragma once

#include "platform/win32/WinTypes.h"

#include <cstdio>
#include <functional>
#include <string>

struct CPLogReport {
    int Level = 0;
    std::string Text;  // the formatted report
    // Filled by ReportDXError; empty / 0 for reports written directly.
    std::string File;
    int Line = 0;
    HRESULT Result = S_OK;
};

class CPLog {
public:
    using Sink = std::function<void(const CPLogReport&)>;

    // Format of a failed platform call: file, line, error name, error description.
    static constexpr const char* DXErrorFormat = "DXError if %s on line %d\n%s\n%s\n";

    // The one log, created on first use and destroyed at process exit.
    static CPLog& GetInstance();
    // Whether GetInstance has ever been called.
    static bool Exists();

    CPLog(const CPLog&) = delete;
    CPLog& operator=(const CPLog&) = delete;

    // printf-style report. Discarded; formatted only when a sink is attached.
    void Write(int level, const char* format, ...) __attribute__((format(printf, 3, 4)));
    void WriteReport(const CPLogReport& report);

    // None by default; an empty function detaches.
    void SetSink(Sink sink);
    // A sink writing each report's text to the stream (ended by a line break), flushed at once
    // so reports interleave with the program's own output in order.
    static Sink StreamSink(std::FILE* stream);
    bool HasSink() const { return static_cast<bool>(ReportSink); }

private:
    CPLog() = default;
    ~CPLog() = default;

    Sink ReportSink;
};

// Reports a failed platform call (a negative HRESULT) as "DXError if" with the error's name and
// description, and returns hr unchanged so the caller goes on with its own failure handling.
// Success codes, positive ones included, are not reported. Level 0 except where a caller says.
HRESULT ReportDXError(HRESULT hr, const char* file, int line, int level = 0);
// The same report with one more line of text after the description, naming what the call was
// about (the file a resource was made from), so the report says which one failed.
HRESULT ReportDXError(HRESULT hr, const char* file, int line, int level, const std::string& subject);
