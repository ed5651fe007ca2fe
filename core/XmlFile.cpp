#include "core/XmlFile.h"

#include "core/CPFileReader.h"

#include <vector>

bool LoadXmlFile(TiXmlDocument& document, const std::string& fileName, TiXmlEncoding encoding) {
    document.Clear();
    document.ClearError();
    document.SetValue(fileName);

    CPFileReader reader(fileName, false);
    if (FAILED(reader.Load())) {
        document.SetError(TiXmlBase::TIXML_ERROR_OPENING_FILE, nullptr, nullptr, TIXML_ENCODING_UNKNOWN);
        return false;
    }
    if (reader.GetLength() == 0) {
        return false;
    }
    std::vector<char> text(reader.GetData(), reader.GetData() + reader.GetLength());
    text.push_back('\0');
    document.Parse(text.data(), nullptr, encoding);
    return !document.Error();
}
