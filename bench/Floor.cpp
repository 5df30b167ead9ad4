#include "Floor.h"

#include <libxml/parser.h>
#include <libxml/xmlreader.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>

namespace pontrel::bench {

namespace {

std::uintmax_t readWhole(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return data.size();
}

} // namespace

double measureFloor(DocumentRead read, const std::filesystem::path& document,
                    const std::vector<std::filesystem::path>& inputTables, std::uintmax_t bytesToWrite,
                    const std::filesystem::path& scratch) {
    const auto start = std::chrono::steady_clock::now();

    if (read == DocumentRead::Tree) {
        xmlDocPtr doc = xmlReadFile(document.c_str(), nullptr, XML_PARSE_NONET);
        if (!doc)
            throw std::runtime_error("libxml2 no puede leer " + document.string());
        xmlFreeDoc(doc);
    } else {
        xmlTextReaderPtr reader = xmlReaderForFile(document.c_str(), nullptr, XML_PARSE_NONET);
        if (!reader)
            throw std::runtime_error("libxml2 no puede leer " + document.string());
        int result = 0;
        while ((result = xmlTextReaderRead(reader)) == 1) {
        }
        xmlFreeTextReader(reader);
        if (result != 0)
            throw std::runtime_error("libxml2 no puede leer " + document.string());
    }

    std::uintmax_t bytesRead = 0;
    for (const auto& table : inputTables)
        bytesRead += readWhole(table);
    if (bytesRead == 0 && !inputTables.empty())
        throw std::runtime_error("las tablas de entrada están vacías");

    {
        std::FILE* out = std::fopen(scratch.c_str(), "wb");
        if (!out)
            throw std::runtime_error("no se puede escribir " + scratch.string());
        const std::string block(64 * 1024, 'x');
        std::uintmax_t left = bytesToWrite;
        while (left > 0) {
            const std::size_t n = left < block.size() ? static_cast<std::size_t>(left) : block.size();
            std::fwrite(block.data(), 1, n, out);
            left -= n;
        }
        std::fclose(out);
    }

    const auto end = std::chrono::steady_clock::now();
    std::filesystem::remove(scratch);
    return std::chrono::duration<double>(end - start).count();
}

} // namespace pontrel::bench
