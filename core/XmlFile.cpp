#include "core/XmlFile.h"

#include "core/CPFileReader.h"

#include <cstring>
#include <string>
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
        document.SetError(TiXmlBase::TIXML_ERROR_DOCUMENT_EMPTY, nullptr, nullptr, TIXML_ENCODING_UNKNOWN);
        return false;
    }
    // TinyXML steps over a whole UTF-8 character at once, so a lead byte at the very end
    // takes it past a single terminating zero: give it as many zeros as a character is long.
    constexpr size_t Padding = 8;
    std::vector<char> text(static_cast<size_t>(reader.GetLength()) + Padding, '\0');
    std::memcpy(text.data(), reader.GetData(), static_cast<size_t>(reader.GetLength()));
    document.Parse(text.data(), nullptr, encoding);
    return !document.Error();
}

std::string XmlFileProblem(const TiXmlDocument& document) {
    if (document.Error()) {
        switch (document.ErrorId()) {
        case TiXmlBase::TIXML_ERROR_OPENING_FILE:
            return "cannot be read";
        case TiXmlBase::TIXML_ERROR_DOCUMENT_EMPTY:
            // Nothing but blanks, or text that stops (at a zero byte) or strays before any markup.
            return "holds no XML";
        default:
            return "not well-formed XML at row " + std::to_string(document.ErrorRow()) + ", column " +
                   std::to_string(document.ErrorCol()) + ": " + document.ErrorDesc();
        }
    }
    return document.RootElement() == nullptr ? "holds no element" : std::string();
}
