#include "engine/io/FileIO.h"

#include "engine/core/Init.h"
#include "engine/platform/Platform.h"
#include "support/PackBytes.h"
#include "support/TemporaryDirectory.h"

#include <sys/stat.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstdio>

using namespace testsupport;
using tarnix::FileIO;
using tarnix::Vector;

namespace {

const auto readBinary = std::ios::in | std::ios::binary;
const auto writeBinary = std::ios::out | std::ios::binary;

class FileIOTest : public testing::Test {
protected:
    void TearDown() override { tarnix::init.forgetDataFiles(); }
    WorkingDirectory directory;
};

std::string writtenBy(void (*write)(FileIO&)) {
    {
        FileIO out;
        EXPECT_TRUE(out.open("written.bin", writeBinary));
        write(out);
    }
    return fileContent("written.bin");
}

}  // namespace

TEST_F(FileIOTest, WritesAreLittleEndianByteExact) {
    EXPECT_EQ(writtenBy([](FileIO& out) { out.writeVector24(Vector(1.0f, -2.5f, 0.0f)); }),
              std::string("\x00\x80\x3F\x00\x20\xC0\x00\x00\x00", 9));
    EXPECT_EQ(writtenBy([](FileIO& out) {
                  out.writeUInt16(0x1234);
                  out.writeInt32(-2);
                  out.writeFloat(1.0f);
                  out.writeChar(-1);
                  out.writeCStr("ab");
                  out.writeCStr("");
                  out.writeFile("xyz", 2);
              }),
              std::string("\x34\x12\xFE\xFF\xFF\xFF\x00\x00\x80\x3F\xFF" "ab\0\0xy", 17));
}

TEST_F(FileIOTest, TypedValuesReadBackAsWrittenAndFloat24DropsTheLowMantissaByte) {
    const float precise = 1.2345678f;
    {
        FileIO out;
        ASSERT_TRUE(out.open("values.bin", writeBinary));
        out.writeInt16(-300);
        out.writeUInt32(0xDEADBEEF);
        out.writeFloat(precise);
        out.writeFloat24(precise);
        out.writeVector(Vector(1, 2, 3));
        out.writeVector24(Vector(1.0f, -2.5f, 0.0f));
        out.writeCStr("name");
        out.writeUChar(200);
    }
    FileIO in;
    ASSERT_TRUE(in.open("values.bin", readBinary));
    EXPECT_EQ(in.getLength(), 2u + 4 + 4 + 3 + 12 + 9 + 5 + 1);
    EXPECT_EQ(in.readInt16(), -300);
    EXPECT_EQ(in.readUInt32(), 0xDEADBEEFu);
    EXPECT_EQ(in.readFloat(), precise);
    const float truncated = in.readFloat24();
    EXPECT_NE(truncated, precise);
    EXPECT_NEAR(truncated, precise, 1e-4f);
    EXPECT_TRUE(in.readVector() == Vector(1, 2, 3));
    EXPECT_TRUE(in.readVector24() == Vector(1.0f, -2.5f, 0.0f));
    EXPECT_EQ(in.readCStr(), "name");
    EXPECT_EQ(in.readChar(), static_cast<char>(200));
    EXPECT_TRUE(in.isEnd());
}

TEST_F(FileIOTest, ReadsNeverRunPastTheContent) {
    writeFile("data/five.bin", "abcd\x7F");
    FileIO in("five.bin");
    ASSERT_TRUE(in == true);
    char buffer[8] = "-------";
    EXPECT_EQ(in.read(buffer, 6), -1);
    EXPECT_STREQ(buffer, "-------");
    EXPECT_EQ(in.getPosition(), 0u);
    EXPECT_EQ(in.read(buffer, 3), 1);
    EXPECT_EQ(in.readUInt32(), 0u);  // two bytes left: nothing read
    EXPECT_EQ(in.getPosition(), 3u);
    EXPECT_EQ(in.readChar(buffer, 2), 1);
    EXPECT_TRUE(in.isEnd());
    EXPECT_EQ(in.read(buffer, 0), 1);
    EXPECT_EQ(in.readUChar(), 0);
    EXPECT_EQ(in.getPosition(), 5u);
}

TEST_F(FileIOTest, CStringsAndSkipsStopAtTheEnd) {
    writeFile("data/text.bin", std::string("\0abc", 4));
    FileIO in("text.bin");
    EXPECT_EQ(in.readCStr(), "");
    EXPECT_EQ(in.getPosition(), 1u);
    EXPECT_EQ(in.readCStr(), "abc");  // no terminating zero before the end
    EXPECT_TRUE(in.isEnd());
    EXPECT_EQ(in.getPosition(), 4u);

    in.readSkip(-10);
    EXPECT_EQ(in.getPosition(), 0u);
    in.readSkip(2);
    EXPECT_EQ(in.getPosition(), 2u);
    in.readSkip(1000);
    EXPECT_EQ(in.getPosition(), 4u);
    EXPECT_TRUE(in.isEnd());
    in.readSkip(0x7FFFFFFF);
    EXPECT_EQ(in.getPosition(), 4u);
}

TEST_F(FileIOTest, EmptyFileOpensWithNothingToRead) {
    writeFile("data/empty.bin", "");
    FileIO in("empty.bin");
    EXPECT_TRUE(in == true);
    EXPECT_EQ(in.getLength(), 0u);
    EXPECT_TRUE(in.isEnd());
    EXPECT_EQ(in.readUChar(), 0);
    EXPECT_EQ(in.getPosition(), 0u);
    EXPECT_EQ(in.readFile(), nullptr);
}

TEST_F(FileIOTest, MissingDirectoriesAndSpecialFilesDoNotOpen) {
    writeFile("data/sub/inner.txt", "x");
    ASSERT_EQ(mkfifo("data/pipe", 0644), 0);
    for (const char* name : {"missing.bin", "sub", "pipe", ""}) {
        FileIO in(name);
        EXPECT_TRUE(!in) << name;
        EXPECT_TRUE(in != true) << name;
        EXPECT_EQ(in.getLength(), 0u);
        EXPECT_EQ(in.readFile(), nullptr);
        EXPECT_TRUE(in.isEnd());
    }
}

// The calls a platform layer provides for writing files into place.
TEST_F(FileIOTest, ReplaceFileTakesThePlaceOfAnExistingOneAndTruncateCutsAnOpenFile) {
    writeFile("old.bin", "the old bytes");
    writeFile("new.bin", "new");
    ASSERT_TRUE(tarnix::replaceFile("new.bin", "old.bin"));
    EXPECT_EQ(fileContent("old.bin"), "new");
    EXPECT_EQ(tarnix::pathKind("new.bin"), tarnix::PathKind::missing);
    errno = 0;
    EXPECT_FALSE(tarnix::replaceFile("new.bin", "old.bin"));
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(fileContent("old.bin"), "new");

    std::FILE* file = tarnix::openRegularFile("cut.bin", true, true);
    EXPECT_EQ(file, nullptr);  // reading and writing opens only a file that is there
    file = tarnix::openRegularFile("cut.bin", false, true);
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(std::fwrite("0123456789", 1, 10, file), 10u);
    ASSERT_EQ(std::fflush(file), 0);
    std::uint64_t size = 0;
    ASSERT_TRUE(tarnix::fileSize(file, size));
    EXPECT_EQ(size, 10u);
    ASSERT_TRUE(tarnix::truncateFile(file, 4));
    ASSERT_TRUE(tarnix::fileSize(file, size));
    EXPECT_EQ(size, 4u);
    std::fclose(file);
    EXPECT_EQ(fileContent("cut.bin"), "0123");

    ASSERT_TRUE(tarnix::makeDirectory("made"));
    EXPECT_EQ(tarnix::pathKind("made"), tarnix::PathKind::directory);
    errno = 0;
    EXPECT_FALSE(tarnix::makeDirectory("made"));
    EXPECT_EQ(errno, EEXIST);
}

TEST_F(FileIOTest, NamesResolveToThePackThenDataThenAsGiven) {
    writeFile("data/datafile.dat", packBytes({{"a.txt", "from the pack"}}));
    writeFile("data/a.txt", "from data");
    writeFile("a.txt", "from the working directory");
    ASSERT_TRUE(tarnix::init.readDirectoryContent("data/"));

    auto contentOf = [](const char* name) {
        FileIO in(name);
        return std::string(reinterpret_cast<const char*>(in.readFile()), in.getLength());
    };
    EXPECT_EQ(contentOf("a.txt"), "from the pack");
    {
        FileIO in("a.txt");
        EXPECT_TRUE(in.isFromPack());
    }
    tarnix::init.forgetDataFiles();
    EXPECT_EQ(contentOf("a.txt"), "from data");
    std::remove("data/a.txt");
    EXPECT_EQ(contentOf("a.txt"), "from the working directory");
    EXPECT_EQ(contentOf("data/a.txt"), "");
}

TEST_F(FileIOTest, PackEntriesSurviveCloseAndAreNeverWritten) {
    writeFile("data/datafile.dat", packBytes({{"b.bin", "12345"}}));
    ASSERT_TRUE(tarnix::init.readDirectoryContent("data/"));
    const tarnix::DataFile* entry = tarnix::init.getDataPackDataFile("b.bin");
    ASSERT_NE(entry, nullptr);

    FileIO stream;
    ASSERT_TRUE(stream.open("b.bin", writeBinary));
    EXPECT_TRUE(stream.isFromPack());
    stream.writeCStr("overwritten?");
    stream.readSkip(3);
    stream.close();
    EXPECT_EQ(stream.getPosition(), 0u);
    EXPECT_EQ(stream.readFile(), entry->data.get());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(entry->data.get()), entry->size), "12345");
    EXPECT_FALSE(fileExists("data/b.bin"));
    EXPECT_FALSE(fileExists("b.bin"));
}

TEST_F(FileIOTest, TheNameTakingConstructorOnlyReads) {
    writeFile("data/keep.txt", "unchanged");
    {
        FileIO stream("keep.txt");
        ASSERT_TRUE(stream == true);
        stream.writeCStr("scribble");
        EXPECT_TRUE(stream.close());
    }
    EXPECT_EQ(fileContent("data/keep.txt"), "unchanged");
}

TEST_F(FileIOTest, OpeningForWritingEmptiesTheFileAndCloseReleasesTheContent) {
    writeFile("data/out.bin", "old content");
    FileIO stream;
    ASSERT_TRUE(stream.open("out.bin", writeBinary));
    EXPECT_EQ(stream.getLength(), 0u);
    stream.writeUInt16(0xABCD);
    EXPECT_TRUE(stream.writesSucceeded());
    EXPECT_TRUE(stream.close());
    EXPECT_TRUE(stream == true);  // close leaves the open state alone
    EXPECT_EQ(fileContent("data/out.bin"), "\xCD\xAB");

    ASSERT_TRUE(stream.open("out.bin", std::ios::in | std::ios::out | std::ios::binary));
    EXPECT_EQ(stream.getLength(), 2u);
    stream.close();
    EXPECT_EQ(stream.readFile(), nullptr);
    EXPECT_EQ(stream.getLength(), 0u);
}
