// The campaign data singleton. For now it holds what the interface reads: the text table
// (mission titles, weapon and item texts, menu texts) filled by the game code. The campaign
// code grows the rest of it.
#pragma once

#include "core/CPObject.h"

#include <string>
#include <unordered_map>

class CPGameData : public CPObject {
public:
    CPGameData();
    ~CPGameData() override;

    size_t GetObjectSize() const override { return sizeof(CPGameData); }
    std::string GetTypeName() const override { return "CPGameData"; }

    // The text of key; a missing key is inserted with the empty text, which is returned
    // (later searches find the entry).
    const std::string& GetText(const std::string& key) { return TextTable[key]; }

    std::unordered_map<std::string, std::string> TextTable;

    static CPGameData* Instance;  // set by the host
};
