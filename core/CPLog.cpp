#include "core/CPLog.h"

#include "platform/win32/DxErrors.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace {

bool constructed = false;

std::string Format(const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (length <= 0) {
        return std::string();
    }
    std::vector<char> text(static_cast<size_t>(length) + 1);
    std::vsnprintf(text.data(), text.size(), format, args);
    return std::string(text.data(), static_cast<size_t>(length));
}

std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string FormatText(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = Format(format, args);
    va_end(args);
    return text;
}

}  // namespace

CPLog& CPLog::GetInstance() {
    static CPLog log;
    constructed = true;
    return log;
}

bool CPLog::Exists() { return constructed; }

void CPLog::Write(int level, const char* format, ...) {
    if (!ReportSink || format == nullptr) {
        return;
    }
    CPLogReport report;
    report.Level = level;
    va_list args;
    va_start(args, format);
    report.Text = Format(format, args);
    va_end(args);
    ReportSink(report);
}

void CPLog::WriteReport(const CPLogReport& report) {
    if (ReportSink) {
        ReportSink(report);
    }
}

void CPLog::SetSink(Sink sink) { ReportSink = std::move(sink); }

CPLog::Sink CPLog::StreamSink(std::FILE* stream) {
    return [stream](const CPLogReport& report) {
        std::fputs(report.Text.c_str(), stream);
        if (report.Text.empty() || report.Text.back() != '\n') {
            std::fputc('\n', stream);
        }
        std::fflush(stream);
    };
}

HRESULT ReportDXError(HRESULT hr, const char* file, int line, int level) {
    return ReportDXError(hr, file, line, level, std::string());
}

HRESULT ReportDXError(HRESULT hr, const char* file, int line, int level, const std::string& subject) {
    if (SUCCEEDED(hr)) {
        return hr;
    }
    const char* description = DXGetErrorDescription9A(hr);
    const char* name = DXGetErrorString9A(hr);
    CPLog& log = CPLog::GetInstance();
    if (!log.HasSink()) {
        return hr;
    }
    CPLogReport report;
    report.Level = level;
    report.File = file != nullptr ? file : "";
    report.Line = line;
    report.Result = hr;
    report.Text = FormatText(CPLog::DXErrorFormat, report.File.c_str(), line, name, description);
    if (!subject.empty()) {
        report.Text += subject + "\n";
    }
    log.WriteReport(report);
    return hr;
}
