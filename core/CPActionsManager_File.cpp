// Loading and saving "Actions.cfg" through the data files (pack files included for reading).
#include "core/CPActionsManager.h"

#include "core/CPFileReader.h"
#include "core/CPFileWriter.h"

HRESULT CPActionsManager::LoadActions(const std::string& fileName) {
    CPFileReader reader(fileName, false);
    const HRESULT result = reader.Load();
    if (FAILED(result)) {
        return result;
    }
    ApplyActions(ParseActionLines(reinterpret_cast<const char*>(reader.GetData()), reader.GetLength()));
    return result;
}

HRESULT CPActionsManager::SaveActions() {
    const std::string text = FormatActions();
    CPFileWriter writer(FileName, false);
    writer.WriteBytes(text.data(), static_cast<int>(text.size()));
    return writer.Save();
}

HRESULT CPActionsManager::SaveAndReloadActions() {
    const HRESULT saved = SaveActions();
    const HRESULT loaded = LoadActions(FileName);
    return FAILED(saved) ? saved : loaded;
}
