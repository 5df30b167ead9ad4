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

// What a reader takes from a document while libxml2 reads it, so that the tree of the whole document
// never has to exist. Told of each element of the file as it starts and as it ends (entity text is
// not told: it is read as its reference's content), with its depth (the root's is 0).
//
// Once an element below the root has ended and ended() has read it, it goes from the tree together
// with the siblings before it; started() sees the siblings since the last element before it ended.
// What started() answers decides what becomes of the element's content:
// - Keep::Nothing: each element inside is told in turn and goes once it has ended;
// - Keep::Whole: the whole content stays until the element ends, so that ended() can read it (what
//   lies inside it is told too, but nothing of it goes);
// - Keep::Texts: no node is made for anything inside it; its elements are told by name and depth
//   (textElementStarted, textElementEnded) and its text as the parser meets it (text: character data
//   and CDATA sections, in order; comments and processing instructions are no text, as they are not
//   for an element's text content). Granted only where the document declares no entities (a
//   reference to one would need the tree to be read) and no element around it is kept whole;
//   otherwise the element is kept as with Keep::Nothing, and what lies inside it is told by
//   started() and ended().
// The tree thus holds the nodes outside the root, the root, the open elements and little more: the
// memory of one record serves the next, and a document of any size is read in the memory of its
// largest kept element.
class XmlReadAlong {
  public:
    enum class Keep { Nothing, Whole, Texts };
    virtual ~XmlReadAlong() = default;
    virtual Keep started(const xmlNode* element, int depth) = 0;
    virtual void ended(const xmlNode* element, int depth) = 0;
    // Inside an element kept as Keep::Texts. `inNamespace`: the element's name has a namespace.
    virtual void textElementStarted(std::string_view /*localName*/, bool /*inNamespace*/, int /*depth*/) {}
    virtual void textElementEnded(int /*depth*/) {}
    virtual void text(std::string_view /*text*/) {}
};

// The parsed tree; the caller frees it with xmlFreeDoc. Without `along`, the whole tree; with it, what
// `along` kept (see above). The file is read in pieces, never whole, and checked whole before this
// returns. Throws pontrel::Error when the file cannot be read or is not well-formed XML.
xmlDoc* parseXmlFile(const std::filesystem::path& file, XmlReadAlong* along = nullptr);

// Why `bytes`, a document just written, would not be read back as well-formed XML (in Spanish, with
// its line); nullopt when it would. Read as a stream: the memory of a tree is not needed for it.
std::optional<std::string> unreadableXmlReason(std::string_view bytes);

// The same for a document handed in pieces: `next` puts up to `size` bytes at `data` and says how
// many (0 at the end, -1 when it cannot read them, which is then the reason).
using XmlPieces = std::function<long(char* data, std::size_t size)>;
std::optional<std::string> unreadableXmlReason(const XmlPieces& next);

// Why libxml2 failed, in Spanish, with the names the error carries (never libxml2's English text).
std::string xmlErrorReason(const xmlError& error);

// Keeps libxml2 from printing on the standard error output the errors that no handler collects;
// parseXmlFile does it before its first parse. Every failure is reported by its caller in Spanish.
void quietXmlLibrary();

} // namespace pontrel
