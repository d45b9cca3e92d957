#include "engine/io/DataPack.h"

#include "engine/core/Init.h"
#include "support/PackBytes.h"
#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

using namespace testsupport;

namespace {

const std::string emptyPack("\xFA\xFB\x00\x00\x00\x00\xFC\x00\x00\x00\x00", 11);

class DataPackTest : public testing::Test {
protected:
    void TearDown() override { tarnix::init.forgetDataFiles(); }

    // Reads data/datafile.dat holding `bytes` into a fresh pack.
    int readPackOf(const std::string& bytes, DataPack& pack) {
        writeFile("data/datafile.dat", bytes);
        return pack.readPack();
    }

    std::string entryContent(DataPack& pack, unsigned i) {
        const tarnix::DataFile* entry = pack.getDataFile(i);
        return std::string(reinterpret_cast<const char*>(entry->data.get()), entry->size);
    }

    std::string capturedStdout(const std::function<void()>& action) {
        testing::internal::CaptureStdout();
        action();
        return testing::internal::GetCapturedStdout();
    }

    WorkingDirectory directory;
    DataPack pack{"data/", "datafile.dat"};
};

}  // namespace

TEST_F(DataPackTest, EmptyDirectoryMakesThe11BytePackThatReadsBackEmpty) {
    std::filesystem::create_directory("data");
    const std::string out = capturedStdout([&] { EXPECT_EQ(pack.createPack(), 1); });
    EXPECT_EQ(out, "Creating a datafile from data/ directory\n\tWriting header chunk\n\tWriting script chunk\n"
                   "\tWriting file chunk\n");
    EXPECT_EQ(fileContent("data/datafile.dat"), emptyPack);

    DataPack reader("data/", "datafile.dat");
    EXPECT_EQ(reader.readPack(), 1);
    EXPECT_EQ(reader.getDataFileSize(), 0u);
    EXPECT_EQ(reader.getDataFile("x"), nullptr);
}

TEST_F(DataPackTest, CreatedPackHoldsEveryFileInNameOrderAndReadsBackEqual) {
    const std::string binary("\x00\x01\xFF\xFE", 4);
    writeFile("data/b.png", binary);
    writeFile("data/a.dvm", "mesh bytes");
    writeFile("data/C.txt", "");
    const std::string out = capturedStdout([&] { EXPECT_EQ(pack.createPack(), 1); });
    EXPECT_NE(out.find("\t\t0 C.txt\n\t\t10 a.dvm\n\t\t4 b.png\n"), std::string::npos) << out;
    EXPECT_EQ(fileContent("data/datafile.dat"), packBytes({{"C.txt", ""}, {"a.dvm", "mesh bytes"}, {"b.png", binary}}));

    DataPack reader("data/", "datafile.dat");
    ASSERT_EQ(reader.readPack(), 1);
    ASSERT_EQ(reader.getDataFileSize(), 3u);
    EXPECT_EQ(reader.getDataFile(0u)->name, "C.txt");
    EXPECT_EQ(reader.getDataFile(1u)->name, "a.dvm");
    EXPECT_EQ(entryContent(reader, 1), "mesh bytes");
    EXPECT_EQ(entryContent(reader, 2), binary);
    EXPECT_EQ(reader.getDataFile("b.png"), reader.getDataFile(2u));
    EXPECT_EQ(reader.getDataFile("B.png"), nullptr);
}

TEST_F(DataPackTest, ReaderAcceptsAnyChunkSequenceAndALaterFileChunkReplaces) {
    EXPECT_EQ(readPackOf("\xFA", pack), 1);
    EXPECT_EQ(pack.getDataFileSize(), 0u);

    DataPack twoChunks("data/", "datafile.dat");
    const std::string bytes = "\xFA" + fileChunk({{"first", "1"}, {"second", "2"}}) + "\xFB" + u32(77) +
                              fileChunk({{"third", "333"}});
    EXPECT_EQ(readPackOf(bytes, twoChunks), 1);
    ASSERT_EQ(twoChunks.getDataFileSize(), 1u);
    EXPECT_EQ(twoChunks.getDataFile(0u)->name, "third");
    EXPECT_EQ(entryContent(twoChunks, 0), "333");
}

TEST_F(DataPackTest, NotAPackOrAnUnknownChunkFailsKeepingWhatWasRead) {
    EXPECT_EQ(pack.readPack(), -1);  // no file
    DataPack wrongHeader("data/", "datafile.dat");
    EXPECT_EQ(readPackOf("\xFB" + u32(0), wrongHeader), -1);
    DataPack empty("data/", "datafile.dat");
    EXPECT_EQ(readPackOf("", empty), -1);

    DataPack unknownTag("data/", "datafile.dat");
    EXPECT_EQ(readPackOf("\xFA" + fileChunk({{"kept", "k"}}) + "\x01", unknownTag), -1);
    ASSERT_EQ(unknownTag.getDataFileSize(), 1u);
    EXPECT_EQ(entryContent(unknownTag, 0), "k");
}

TEST_F(DataPackTest, APackTruncatedAtAnyByteFailsKeepingItsCompleteEntries) {
    const std::string whole = packBytes({{"one.txt", "first"}, {"two.bin", std::string("\0\1\2", 3)}, {"3", ""}});
    const std::size_t firstEntryEnds = 11 + 8 + 4 + 5;
    const std::size_t secondEntryEnds = firstEntryEnds + 8 + 4 + 3;
    for (std::size_t length = 0; length < whole.size(); ++length) {
        DataPack truncated("data/", "datafile.dat");
        const int result = readPackOf(whole.substr(0, length), truncated);
        // Only a cut between chunks leaves a complete (shorter) pack.
        const bool atChunkBoundary = length == 1 || length == 6;
        EXPECT_EQ(result, atChunkBoundary ? 1 : -1) << "cut at " << length;
        const unsigned complete = length >= secondEntryEnds ? 2u : length >= firstEntryEnds ? 1u : 0u;
        EXPECT_EQ(truncated.getDataFileSize(), complete) << "cut at " << length;
    }
}

TEST_F(DataPackTest, HugeCountsAndSizesAreTruncationNotAllocations) {
    DataPack hugeCount("data/", "datafile.dat");
    EXPECT_EQ(readPackOf("\xFA\xFC" + u32(0xFFFFFFFF) + std::string("a\0", 2) + u32(1) + "x", hugeCount), -1);
    EXPECT_EQ(hugeCount.getDataFileSize(), 1u);

    DataPack hugeSize("data/", "datafile.dat");
    EXPECT_EQ(readPackOf("\xFA\xFC" + u32(1) + std::string("a\0", 2) + u32(0xFFFFFFF0) + "xyz", hugeSize), -1);
    EXPECT_EQ(hugeSize.getDataFileSize(), 0u);
}

TEST_F(DataPackTest, HexDumpOfTheEmptyPack) {
    writeFile("data/datafile.dat", emptyPack);
    const std::string out = capturedStdout([&] { EXPECT_TRUE(pack.hexdumpPack()); });
    EXPECT_EQ(out, "Hexdump of datafile.dat\n0x0000 : FA FB 00 00  00 00 FC 00  00 00 00 \n");
}

TEST_F(DataPackTest, HexDumpLabelsEachLineWithItsNumber) {
    std::string twenty;
    for (int i = 0; i < 20; ++i)
        twenty += static_cast<char>(0xA0 + i);
    writeFile("data/datafile.dat", twenty);
    EXPECT_EQ(capturedStdout([&] { pack.hexdumpPack(); }),
              "Hexdump of datafile.dat\n"
              "0x0000 : A0 A1 A2 A3  A4 A5 A6 A7  A8 A9 AA AB  AC AD AE AF  \n"
              "0x0001 : B0 B1 B2 B3  \n");

    writeFile("data/datafile.dat", std::string(32, '\x0F'));
    const std::string line = "0F 0F 0F 0F  0F 0F 0F 0F  0F 0F 0F 0F  0F 0F 0F 0F  \n";
    EXPECT_EQ(capturedStdout([&] { pack.hexdumpPack(); }),
              "Hexdump of datafile.dat\n0x0000 : " + line + "0x0001 : " + line + "0x0002 : \n");
}

TEST_F(DataPackTest, HexDumpWithoutAPackPrintsTheHeadingAndFails) {
    EXPECT_EQ(capturedStdout([&] { EXPECT_FALSE(pack.hexdumpPack()); }), "Hexdump of datafile.dat\n0x0000 : \n");
    // A heading longer than the dump's buffer goes out whole.
    const std::string longName(100000, 'n');
    DataPack unnamed("data/", longName.c_str());
    testing::internal::CaptureStderr();
    EXPECT_EQ(capturedStdout([&] { EXPECT_FALSE(unnamed.hexdumpPack()); }),
              "Hexdump of " + longName + "\n0x0000 : \n");
    testing::internal::GetCapturedStderr();
}

// Entries point into the one buffer the pack was read into (reading a pack
// needs its own size, not twice it), and a stream opened on an entry keeps
// those bytes when a new pack is made and the registry lets the old one go.
TEST_F(DataPackTest, EntriesShareThePacksBytesAndOutliveRepacking) {
    writeFile("data/datafile.dat", packBytes({{"a.txt", "first"}, {"b.txt", "second"}}));
    ASSERT_EQ(pack.readPack(), 1);
    const unsigned char* a = pack.getDataFile(0u)->data.get();
    EXPECT_EQ(pack.getDataFile(1u)->data.get(), a + 5 + 6 + 4);  // past "first", "b.txt\0" and the size

    ASSERT_TRUE(tarnix::init.readDirectoryContent("data/"));
    tarnix::FileIO stream;
    ASSERT_TRUE(stream.open("b.txt", std::ios::in | std::ios::binary));
    ASSERT_TRUE(stream.isFromPack());
    writeFile("data/b.txt", "rewritten");
    capturedStdout([&] { ASSERT_EQ(pack.createPack(), 1); });
    ASSERT_EQ(stream.getLength(), 6u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(stream.readFile()), 6), "second");
    char letter = 0;
    stream.readSeek(5);
    stream.read(&letter, 1);
    EXPECT_EQ(letter, 'd');
}

TEST_F(DataPackTest, RepackingStoresEachNameOnceWithTheNewestBytes) {
    writeFile("data/datafile.dat", packBytes({{"edited.txt", "old"}, {"only-in-pack.txt", "kept"}}));
    writeFile("data/edited.txt", "new");
    writeFile("data/zz.txt", "loose");
    capturedStdout([&] { ASSERT_EQ(pack.createPack(), 1); });
    EXPECT_EQ(fileContent("data/datafile.dat"),
              packBytes({{"edited.txt", "new"}, {"only-in-pack.txt", "kept"}, {"zz.txt", "loose"}}));

    // A data directory holding only the pack packs to the same pack again.
    std::remove("data/edited.txt");
    std::remove("data/zz.txt");
    const std::string packed = fileContent("data/datafile.dat");
    tarnix::init.forgetDataFiles();
    capturedStdout([&] { ASSERT_EQ(pack.createPack(), 1); });
    EXPECT_EQ(fileContent("data/datafile.dat"), packed);
}

TEST_F(DataPackTest, SubdirectoriesAreStoredEmptyAndOtherDatFilesAreOrdinaryFiles) {
    writeFile("data/shaders/effect.vert", "void main() {}");
    writeFile("data/level.dat", "level");
    writeFile("data/dataset.png", "png");
    capturedStdout([&] { ASSERT_EQ(pack.createPack(), 1); });
    EXPECT_EQ(fileContent("data/datafile.dat"),
              packBytes({{"dataset.png", "png"}, {"level.dat", "level"}, {"shaders", ""}}));
}

TEST_F(DataPackTest, AnotherDirectoryIsPackedIntoTheDataPack) {
    writeFile("art/pic.png", "picture");
    writeFile("data/ignored.png", "not packed");
    pack.setDirectory("art/");
    EXPECT_STREQ(pack.getDirectory(), "art/");
    const std::string out = capturedStdout([&] { ASSERT_EQ(pack.createPack(), 1); });
    EXPECT_EQ(out.rfind("Creating a datafile from art/ directory\n", 0), 0u);
    EXPECT_EQ(fileContent("data/datafile.dat"), packBytes({{"pic.png", "picture"}}));
}

TEST_F(DataPackTest, WithoutADataDirectoryThePackGoesToTheWorkingDirectory) {
    writeFile("art/pic.png", "picture");
    pack.setDirectory("art/");
    capturedStdout([&] { ASSERT_EQ(pack.createPack(), 1); });
    EXPECT_EQ(fileContent("datafile.dat"), packBytes({{"pic.png", "picture"}}));
}

TEST_F(DataPackTest, FailuresLeaveThePreviousPackAndNoTemporaryFile) {
    writeFile("data/datafile.dat", emptyPack);
    pack.setDirectory("missing/");
    testing::internal::CaptureStderr();
    EXPECT_EQ(pack.createPack(), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "tarnix: missing/: cannot list the directory: No such file or directory\n");

    writeFile("art/a.txt", "a");
    DataPack unwritable("art/", "no/such/directory/datafile.dat");
    testing::internal::CaptureStderr();
    EXPECT_EQ(unwritable.createPack(), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Couldn't open no/such/directory/datafile.dat for DataPack writing!\n");

    EXPECT_EQ(fileContent("data/datafile.dat"), emptyPack);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("data"), std::filesystem::directory_iterator()), 1);
}

TEST_F(DataPackTest, CompressAndDecompressRoundTripAndRejectDamage) {
    std::string original;
    for (int i = 0; i < 100000; ++i)
        original += static_cast<char>("tarnix"[i % 6] + i / 7000);
    writeFile("plain", original);
    std::FILE* plain = std::fopen("plain", "rb");
    std::FILE* packed = std::fopen("packed", "wb");
    EXPECT_EQ(DataPack::compress(plain, packed), 0);
    std::fclose(plain);
    std::fclose(packed);
    const std::string compressed = fileContent("packed");
    EXPECT_LT(compressed.size(), original.size() / 4);

    auto inflateText = [](const std::string& bytes, int expected) {
        writeFile("input", bytes);
        std::FILE* in = std::fopen("input", "rb");
        std::FILE* out = std::fopen("output", "wb");
        EXPECT_EQ(DataPack::decompress(in, out), expected);
        std::fclose(in);
        std::fclose(out);
        return fileContent("output");
    };
    EXPECT_EQ(inflateText(compressed, 0), original);
    inflateText(compressed.substr(0, compressed.size() / 2), -3);
    inflateText("definitely not zlib data", -3);
}
