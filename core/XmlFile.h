// Loads an XML document through CPFileReader, so descriptions can come from pack files as well
// as from disk. Stands where TiXmlDocument::LoadFile would: same results, same error codes.
// The parser gets the text followed by several zero bytes (TinyXML reads past a single one
// when the text ends inside a multi-byte character).
#pragma once

#include <tinyxml.h>

#include <string>

// Clears the document (its value becomes the file name) and parses the file's text up to its
// first zero byte. False with TinyXML's file-opening error (TIXML_ERROR_OPENING_FILE) when the
// file cannot be read, with its empty-document error (TIXML_ERROR_DOCUMENT_EMPTY, as
// TiXmlDocument::LoadFile gives) when it is empty, with the parser's error when the text is not
// well-formed XML.
bool LoadXmlFile(TiXmlDocument& document, const std::string& fileName,
                 TiXmlEncoding encoding = TIXML_DEFAULT_ENCODING);

// Why a document LoadXmlFile filled cannot be used, for a log line after its file name
// ("cannot be read", "holds no XML", "not well-formed XML at row 3, column 7: <TinyXML's
// reason>", "holds no element"); empty when it has a root element.
std::string XmlFileProblem(const TiXmlDocument& document);
