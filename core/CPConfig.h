// The registry of configuration variables and the reader of "config.cfg".
//
// Lines are "key=value", "+key" (1), "-key" or "key" (0); unknown keys do nothing, which is
// how such lines serve as comments. Nothing writes the file back.
#pragma once

#include "core/CPDator.h"
#include "core/CPtr.h"

#include <string>
#include <unordered_map>

class CPConfig {
public:
    // Longest line, without its end; longer lines are cut there.
    static constexpr size_t MaxLineLength = 1023;

    CPConfig();
    virtual ~CPConfig();

    CPConfig(const CPConfig&) = delete;
    CPConfig& operator=(const CPConfig&) = delete;

    void BindVariables();
    void Register(const std::string& key, const CPtr<CPDator>& variable);
    // A file that cannot be opened, or is not a regular file (a FIFO, a device, a folder),
    // changes nothing and gives false.
    bool Load(const std::string& fileName);
    void ParseLine(const std::string& line);
    // sign: +1 for a leading "+", -1 for "-", else 0.
    void Set(const std::string& key, const std::string& value, int sign);
    void ReleaseAll();

    // Null when the key was never registered.
    CPDator* Find(const std::string& key) const;

    static CPConfig* Instance;

private:
    std::unordered_map<std::string, CPtr<CPDator>> Keys;
};
