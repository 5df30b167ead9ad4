#pragma once
// Parsing an XML file the one safe way: never from the network, never loading an external DTD, never
// expanding an external entity. A file that is not well-formed is refused with a Spanish message that
// names the file, the parser's line and the reason.

#include <filesystem>

typedef struct _xmlDoc xmlDoc;

namespace pontrel {

// The parsed tree; the caller frees it with xmlFreeDoc. Throws pontrel::Error when the file cannot be
// read or is not well-formed XML.
xmlDoc* parseXmlFile(const std::filesystem::path& file);

} // namespace pontrel
