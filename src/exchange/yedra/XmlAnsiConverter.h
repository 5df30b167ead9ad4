#pragma once
// The windows-1252 converter that the program gives libxml2 when its build has none (the Windows build,
// without iconv), made from the code pages of dbf/CodePage.h. It follows the code page's own definition,
// as iconv's does, so that a document reads alike in every build: the five unassigned bytes (which the
// rest of the program keeps as C1 controls) are an error in a document, and the C1 controls are written
// as character references.
//
// Both functions keep libxml2's contract for a converter: convert what fits, set *inLength to the bytes
// consumed and *outLength to the bytes written, and return the bytes written; -2 when the character at
// *inLength cannot be converted (libxml2 then writes a character reference, or reports the byte).
// A UTF-8 character cut at the end of the input is left for the next call.

namespace pontrel::xmlansi {

// windows-1252 to UTF-8.
int toUtf8(unsigned char* out, int* outLength, const unsigned char* in, int* inLength);
// UTF-8 to windows-1252.
int fromUtf8(unsigned char* out, int* outLength, const unsigned char* in, int* inLength);

} // namespace pontrel::xmlansi
