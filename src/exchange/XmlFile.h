#pragma once
// Parsing an XML file the one safe way: never from the network, never loading an external DTD, never
// expanding an external entity. A file that is not well-formed is refused with a Spanish message that
// names the file, the parser's line and the reason. A byte-order mark decides the encoding over the
// declaration's.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

typedef struct _xmlDoc xmlDoc;
typedef struct _xmlNode xmlNode;
typedef struct _xmlError xmlError;

namespace pontrel {

// The largest document Pontrel reads. A school of 6,000 teachers makes about 10 MB; the tree of a
// document takes about ten times its size in memory, so a larger file is refused before it is read
// rather than risk exhausting the machine's memory halfway through a run.
constexpr long long kMaxDocumentBytes = 64LL * 1024 * 1024;

// Which branches of the tree keep their content: asked for each element two levels below the root as
// it starts (its earlier siblings and ancestors are in the tree by then). The content of every other
// element that deep or deeper is let go as soon as the element ends, so that the tree holds the root,
// its children, the kept branches and empty elements in the place of the others, and the memory of
// one branch serves the next. The whole document is still read and checked.
using KeepBranch = std::function<bool(const xmlNode* branch)>;

// The parsed tree; the caller frees it with xmlFreeDoc. Without `keep`, the whole tree. Throws
// pontrel::Error when the file cannot be read or is not well-formed XML.
xmlDoc* parseXmlFile(const std::filesystem::path& file, const KeepBranch& keep = {});

// Why `bytes`, a document just written, would not be read back as well-formed XML (in Spanish, with
// its line); nullopt when it would. Read as a stream: the memory of a tree is not needed for it.
std::optional<std::string> unreadableXmlReason(std::string_view bytes);

// Why libxml2 failed, in Spanish, with the names the error carries (never libxml2's English text).
std::string xmlErrorReason(const xmlError& error);

// Keeps libxml2 from printing on the standard error output the errors that no handler collects;
// parseXmlFile does it before its first parse. Every failure is reported by its caller in Spanish.
void quietXmlLibrary();

} // namespace pontrel
