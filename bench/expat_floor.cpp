// SPDX-License-Identifier: MIT
// The floor under zelcheck's and zelfmt's times: expat parsing a document
// with handlers that do nothing, in the same blocks they read.
//
//   zelexpat FILE
#include <expat.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

int main(int argc, char** argv) {
    constexpr std::size_t kBlockSize = 256 * 1024;  // as zelcheck and zelfmt read
    if (argc != 2) {
        std::fprintf(stderr, "usage: zelexpat FILE\n");
        return 2;
    }
    int fd = open(argv[1], O_RDONLY);
    XML_Parser parser = XML_ParserCreate(nullptr);
    if (fd < 0 || !parser) return 1;
    XML_SetElementHandler(
        parser, [](void*, const XML_Char*, const XML_Char**) {}, [](void*, const XML_Char*) {});
    XML_SetCharacterDataHandler(parser, [](void*, const XML_Char*, int) {});
    auto block = std::make_unique<char[]>(kBlockSize);
    for (;;) {
        ssize_t n = read(fd, block.get(), kBlockSize);
        if (n < 0 || XML_Parse(parser, block.get(), static_cast<int>(n), n == 0) != XML_STATUS_OK) return 1;
        if (n == 0) break;
    }
    XML_ParserFree(parser);
    return 0;
}
