#include "exchange/yedra/XmlEncodings.h"

#include "exchange/yedra/XmlAnsiConverter.h"

#include <libxml/encoding.h>

#include <mutex>

namespace pontrel {

void registerXmlEncodings() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (xmlCharEncodingHandler* existing = xmlFindCharEncodingHandler("windows-1252")) {
            xmlCharEncCloseFunc(existing);
            return;
        }
        // Registered with libxml2 by the call itself, under this name and its aliases' lookups.
        xmlNewCharEncodingHandler("windows-1252", xmlansi::toUtf8, xmlansi::fromUtf8);
    });
}

} // namespace pontrel
