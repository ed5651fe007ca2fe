// XML documents loaded through the file reader, in each of TinyXML's encodings, then printed.
#include "FuzzFiles.h"

#include "core/XmlFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = Fuzz::WriteFile("fuzz.xml", data, size);
    for (TiXmlEncoding encoding : {TIXML_ENCODING_UNKNOWN, TIXML_ENCODING_UTF8, TIXML_ENCODING_LEGACY}) {
        TiXmlDocument document;
        if (LoadXmlFile(document, path, encoding)) {
            TiXmlPrinter printer;
            document.Accept(&printer);
        }
    }
    return 0;
}
