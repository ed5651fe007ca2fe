#include "interface/CPGameData.h"

#include "core/Singletons.h"

CPGameData* CPGameData::Instance = nullptr;

CPGameData* GetGameData() { return CPGameData::Instance; }

CPGameData::CPGameData() { TextTable.reserve(100); }

CPGameData::~CPGameData() {
    if (Instance == this) {
        Instance = nullptr;
    }
}
