#pragma once
// Encodings that libxml2 must know whatever its build: a build without iconv (the Windows one) has
// no windows-1252, the code page of Yedra's documents and of Velmora's tables.

namespace pontrel {

// Registers the program's own windows-1252 converter with libxml2 unless libxml2 already has one.
// Cheap after the first call; call it before parsing or writing a document.
void registerXmlEncodings();

} // namespace pontrel
