// Telling what a file is before it is read as a package.
#include <cstdint>

#include <gtest/gtest.h>

#include "package/fileKind.h"
#include "package/zipwriter.h"
#include "support/testutil.h"

namespace fs = std::filesystem;
using tavin::FileKind;

TEST(FileKind, PlainMistakesAreToldAndPackagesLeftToTheReader) {
    testutil::TempDir dir;
    auto kind = [&](const std::string& bytes) {
        const fs::path p = dir.path() / "f.docx";
        testutil::writeFile(p, bytes);
        return tavin::fileKindOf(p.string());
    };
    ziptest::Archive zip;
    ziptest::Entry e;
    e.name = "word/document.xml";
    e.data = "<w:document/>";
    zip.entries.push_back(e);
    const std::string docx = ziptest::build(zip).bytes;
    EXPECT_EQ(kind(docx), FileKind::Package);
    // Bytes before the archive (a self-extracting one) are the reader's
    // business, as is a damaged archive that still starts like one.
    EXPECT_EQ(kind("#!/bin/sh\nexit 0\n" + docx), FileKind::Package);
    EXPECT_EQ(kind(docx.substr(0, 30)), FileKind::Package);
    EXPECT_EQ(kind(""), FileKind::Empty);
    EXPECT_EQ(kind("hello\n"), FileKind::NotWord);
    EXPECT_EQ(kind(std::string("\x89PNG\r\n\x1a\n", 8) + std::string(100, 'x')), FileKind::NotWord);
    const std::string ole = std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(600, '\0');
    EXPECT_EQ(kind(ole), FileKind::NotWord);  // a spreadsheet, say
    EXPECT_EQ(kind(ole + std::string("W\0o\0r\0d\0D\0o\0c\0u\0m\0e\0n\0t\0", 24)), FileKind::LegacyWord);

    // A large .doc whose directory lies past the first megabytes: found
    // through the header.
    std::string header = ole.substr(0, 512);
    header[0x1E] = 9;  // 512-byte sectors
    const std::uint32_t sector = (9u << 20) / 512;
    for (int i = 0; i < 4; ++i) header[0x30 + i] = static_cast<char>(sector >> (8 * i) & 0xff);
    std::string big = header;
    big.resize((sector + 1) * 512, '\0');
    big += std::string("W\0o\0r\0d\0D\0o\0c\0u\0m\0e\0n\0t\0", 24) + std::string(488, '\0');
    EXPECT_EQ(kind(big), FileKind::LegacyWord);

    // A missing file is left to the reader, which names the reason.
    EXPECT_EQ(tavin::fileKindOf((dir.path() / "missing.docx").string()), FileKind::Package);
    EXPECT_EQ(tavin::notDocxMessage((dir.path() / "missing.docx").string()), "");
    EXPECT_EQ(tavin::fileKindMessage(FileKind::Empty, "a b.docx"), "a b.docx is empty");
}
