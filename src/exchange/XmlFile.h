#pragma once
// Parsing an XML file the one safe way: never from the network, never loading an external DTD, never
// expanding an external entity. A file that is not well-formed is refused with a Spanish message that
// names the file, the parser's line and the reason.

#include <filesystem>

typedef struct _xmlDoc xmlDoc;

namespace pontrel {

// The largest document Pontrel reads. A school of 6,000 teachers makes about 10 MB; the tree of a
// document takes about ten times its size in memory, so a larger file is refused before it is read
// rather than risk exhausting the machine's memory halfway through a run.
constexpr long long kMaxDocumentBytes = 64LL * 1024 * 1024;

// The parsed tree; the caller frees it with xmlFreeDoc. Throws pontrel::Error when the file cannot be
// read or is not well-formed XML.
xmlDoc* parseXmlFile(const std::filesystem::path& file);

} // namespace pontrel
