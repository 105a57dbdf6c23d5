// The handles: File (an open file and its length), HeapBuffer (an owned
// block), EntryReader (an entry's bytes read through a buffer), ReadWindow
// (small reads served from one stretch of a file).
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <utility>

#include "dat_writer.h"
#include "io/entry_reader.h"
#include "io/file.h"
#include "io/heap_buffer.h"
#include "io/read_window.h"
#include "platform/platform.h"
#include "tool_runner.h"

namespace {

struct TempDir {
    std::string path = testdat::MakeTempDir();
    ~TempDir() { testdat::RemoveTree(path); }
};

void ExpectClosed(const File& f) {
    EXPECT_FALSE(f.IsOpen());
    EXPECT_EQ(f.Length(), 0);
}

// The folder at path, open for creating files in it.
struct HeldFolder {
    explicit HeldFolder(const std::string& path) { EXPECT_EQ(plat::OpenFolder(path, &folder), 0); }
    ~HeldFolder() { plat::CloseFolder(folder); }
    plat::Folder folder;
};

// True when the file `name` in dir could be created over, i.e. no reader
// holds it.
bool Writable(const std::string& dir, const std::string& name) {
    HeldFolder in(dir);
    File out;
    return out.Create(in.folder, name) == 0;
}

TEST(File, FailedOpensLeaveTheHandleClosed) {
    TempDir tmp;
    File f;
    EXPECT_EQ(f.Open(tmp.path + "/missing"), -1);
    ExpectClosed(f);
    EXPECT_EQ(f.Open(tmp.path), -1);  // a folder is not a file
    ExpectClosed(f);
    HeldFolder in(tmp.path);
    EXPECT_EQ(f.Create(in.folder, "first"), 0);
    EXPECT_EQ(f.Create(in.folder, "no/such/x"), -1);  // the first file is closed all the same
    ExpectClosed(f);
}

TEST(File, ReadMeasuresLengthAndReadsShortAtTheEnd) {
    TempDir tmp;
    const std::string path = tmp.path + "/ten";
    testdat::WriteFile(path, testdat::ToBytes("0123456789"));
    File f;
    ASSERT_EQ(f.Open(path), 0);
    EXPECT_EQ(f.Length(), 10);
    char buf[8] = {};
    EXPECT_EQ(f.ReadAt(0, buf, 4), 4);
    EXPECT_EQ(std::string(buf, 4), "0123");
    EXPECT_EQ(f.ReadAt(8, buf, 8), 2);
    EXPECT_EQ(std::string(buf, 2), "89");
    EXPECT_EQ(f.ReadAt(10, buf, 8), 0);
    EXPECT_EQ(f.ReadAt(3, buf, 2), 2);  // reads at a position do not depend on earlier ones
    EXPECT_EQ(std::string(buf, 2), "34");
}

TEST(File, CreateAndSetLengthDropEarlierBytes) {
    TempDir tmp;
    const std::string path = tmp.path + "/old";
    testdat::WriteFile(path, testdat::ToBytes("old contents"));
    {
        HeldFolder in(tmp.path);
        File f;
        ASSERT_EQ(f.Create(in.folder, "old"), 0);
        EXPECT_EQ(f.Length(), 0);
        EXPECT_EQ(f.WriteAt(0, "new", 3), 0);
        char buf[4] = {};
        EXPECT_EQ(f.ReadAt(0, buf, 4), 3);  // created files can be read back
        // Cut to nothing, a file is written from its start again.
        EXPECT_EQ(f.SetLength(0), 0);
        EXPECT_EQ(f.WriteAt(0, "n", 1), 0);
    }
    EXPECT_EQ(testdat::ToString(testdat::ReadFile(path)), "n");
}

TEST(File, OpeningAgainReleasesTheFirstFileEvenOnFailure) {
    TempDir tmp;
    const std::string a = tmp.path + "/a", b = tmp.path + "/b";
    testdat::WriteFile(a, testdat::ToBytes("aaaa"));
    testdat::WriteFile(b, testdat::ToBytes("bb"));
    File f;
    ASSERT_EQ(f.Open(a), 0);
    EXPECT_FALSE(Writable(tmp.path, "a"));
    ASSERT_EQ(f.Open(b), 0);
    EXPECT_EQ(f.Length(), 2);
    EXPECT_TRUE(Writable(tmp.path, "a"));
    EXPECT_FALSE(Writable(tmp.path, "b"));

    EXPECT_EQ(f.Open(tmp.path + "/missing"), -1);
    ExpectClosed(f);
    EXPECT_TRUE(Writable(tmp.path, "b"));

    ASSERT_EQ(f.Open(a), 0);
    f.Close();
    ExpectClosed(f);
    EXPECT_TRUE(Writable(tmp.path, "a"));
    {
        File scoped;
        ASSERT_EQ(scoped.Open(a), 0);
    }
    EXPECT_TRUE(Writable(tmp.path, "a"));  // the destructor closed it
}

// An archive that shrinks while it is read gives a read failure, never
// bytes left over in the buffer.
TEST(EntryReader, ShortReadIsAFailure) {
    TempDir dir;
    const std::string path = dir.path + "/a.dat";
    testdat::WriteFile(path, testdat::Bytes(100, 7));
    File archive;
    ASSERT_EQ(archive.Open(path), 0);
    uint8_t buffer[64];
    std::filesystem::resize_file(path, 80);
    EntryReader src(archive, buffer, sizeof buffer, 10, 90);
    EXPECT_EQ(src.Fill(), 1);  // bytes 10-73
    src.Consume(src.Available());
    EXPECT_EQ(src.Fill(), -1);  // 26 more wanted, 6 there
}

TEST(ReadWindow, EveryReadGivesTheFilesBytes) {
    TempDir dir;
    const std::string path = dir.path + "/a.dat";
    testdat::Bytes bytes(1000);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
    testdat::WriteFile(path, bytes);
    File file;
    ASSERT_EQ(file.Open(path), 0);
    ReadWindow window(file, 100);
    struct Case {
        uint64_t offset;
        size_t len;
        int64_t got;
    };
    // In order: the window is filled, read inside, read across its end,
    // read behind it, read as a whole, read at and past the file's end.
    const Case cases[] = {{0, 10, 10}, {10, 90, 90}, {95, 10, 10}, {50, 10, 10}, {300, 100, 100},
                          {301, 150, 150}, {990, 20, 10}, {1000, 5, 0}, {995, 1, 1}, {2000, 4, 0}};
    for (const Case& c : cases) {
        uint8_t out[200] = {};
        const int64_t got = window.ReadAt(c.offset, out, c.len);
        EXPECT_EQ(got, c.got) << c.offset;
        if (got > 0) {
            EXPECT_EQ(std::memcmp(out, bytes.data() + c.offset, static_cast<size_t>(got)), 0) << c.offset;
        }
    }
}

TEST(HeapBuffer, MovesHandOverTheBlock) {
    HeapBuffer a;
    ASSERT_EQ(a.Allocate(8), 0);
    uint8_t* block = a.Data();
    HeapBuffer b(std::move(a));
    EXPECT_EQ(b.Data(), block);
    EXPECT_EQ(b.Size(), 8u);
    EXPECT_EQ(a.Data(), nullptr);  // NOLINT(bugprone-use-after-move): moved-from state is defined
    EXPECT_EQ(a.Size(), 0u);

    HeapBuffer c;
    ASSERT_EQ(c.Allocate(32), 0);  // released by the assignment; the leak checker would see it otherwise
    c = std::move(b);
    EXPECT_EQ(c.Data(), block);
    EXPECT_EQ(c.Size(), 8u);
    EXPECT_EQ(b.Data(), nullptr);  // NOLINT(bugprone-use-after-move)
    EXPECT_EQ(b.Size(), 0u);
}

}  // namespace
