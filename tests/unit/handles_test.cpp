// The two handle classes: Cfile (a descriptor and its length) and Cbuffer
// (an owned zero-filled block).
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <utility>

#include "dat_writer.h"
#include "io/cbuffer.h"
#include "io/cfile.h"
#include "io/member_stream.h"
#include "platform/platform.h"
#include "tool_runner.h"

namespace {

struct TempDir {
    std::string path = testdat::MakeTempDir();
    ~TempDir() { testdat::RemoveTree(path); }
};

void ExpectClosed(const Cfile& f) {
    EXPECT_FALSE(f.IsOpen());
    EXPECT_EQ(f.fd, -1);
    EXPECT_EQ(f.length, 0);
}

// True when the file could be created over, i.e. no reader holds it.
bool Writable(const std::string& path) {
    Cfile out;
    return out.Open(path, Cfile::kCreate) == 0;
}

TEST(Cfile, FailedOpensLeaveTheHandleClosed) {
    TempDir tmp;
    Cfile f;
    EXPECT_EQ(f.Open(tmp.path + "/missing", Cfile::kRead), -1);
    ExpectClosed(f);
    EXPECT_EQ(f.Open(tmp.path, Cfile::kRead), -1);  // a folder is not a file
    ExpectClosed(f);
    EXPECT_EQ(f.Open(tmp.path + "/no/such/dir/x", Cfile::kCreate), -1);
    ExpectClosed(f);
}

TEST(Cfile, ReadMeasuresLengthAndReadsShortAtTheEnd) {
    TempDir tmp;
    const std::string path = tmp.path + "/ten";
    testdat::WriteFile(path, testdat::ToBytes("0123456789"));
    Cfile f;
    ASSERT_EQ(f.Open(path, Cfile::kRead), 0);
    EXPECT_EQ(f.length, 10);
    char buf[8] = {};
    EXPECT_EQ(f.ReadAt(0, buf, 4), 4);
    EXPECT_EQ(std::string(buf, 4), "0123");
    EXPECT_EQ(f.ReadAt(8, buf, 8), 2);
    EXPECT_EQ(std::string(buf, 2), "89");
    EXPECT_EQ(f.ReadAt(10, buf, 8), 0);
    EXPECT_EQ(f.ReadAt(3, buf, 2), 2);  // reads at a position do not depend on earlier ones
    EXPECT_EQ(std::string(buf, 2), "34");
}

TEST(Cfile, CreateTruncatesAnExistingFile) {
    TempDir tmp;
    const std::string path = tmp.path + "/old";
    testdat::WriteFile(path, testdat::ToBytes("old contents"));
    {
        Cfile f;
        ASSERT_EQ(f.Open(path, Cfile::kCreate), 0);
        EXPECT_EQ(f.length, 0);
        EXPECT_EQ(f.Write("new", 3), 0);
        char buf[4] = {};
        EXPECT_EQ(f.ReadAt(0, buf, 4), 3);  // created files can be read back
    }
    EXPECT_EQ(testdat::ToString(testdat::ReadFile(path)), "new");
}

TEST(Cfile, OpeningAgainReleasesTheFirstFileEvenOnFailure) {
    TempDir tmp;
    const std::string a = tmp.path + "/a", b = tmp.path + "/b";
    testdat::WriteFile(a, testdat::ToBytes("aaaa"));
    testdat::WriteFile(b, testdat::ToBytes("bb"));
    Cfile f;
    ASSERT_EQ(f.Open(a, Cfile::kRead), 0);
    EXPECT_FALSE(Writable(a));
    ASSERT_EQ(f.Open(b, Cfile::kRead), 0);
    EXPECT_EQ(f.length, 2);
    EXPECT_TRUE(Writable(a));
    EXPECT_FALSE(Writable(b));

    EXPECT_EQ(f.Open(tmp.path + "/missing", Cfile::kRead), -1);
    ExpectClosed(f);
    EXPECT_TRUE(Writable(b));

    ASSERT_EQ(f.Open(a, Cfile::kRead), 0);
    f.Close();
    ExpectClosed(f);
    EXPECT_TRUE(Writable(a));
    {
        Cfile scoped;
        ASSERT_EQ(scoped.Open(a, Cfile::kRead), 0);
    }
    EXPECT_TRUE(Writable(a));  // the destructor closed it
}

// An archive that shrinks while it is read gives a read failure, never
// bytes left over in the buffer.
TEST(MemberStream, ShortReadIsAFailure) {
    TempDir dir;
    const std::string path = dir.path + "/a.dat";
    testdat::WriteFile(path, testdat::Bytes(100, 7));
    Cfile archive;
    ASSERT_EQ(archive.Open(path, Cfile::kRead), 0);
    Cbuffer buffer;
    ASSERT_NE(buffer.Alloc(64), nullptr);
    std::filesystem::resize_file(path, 80);
    MemberStream src(archive, buffer, 10, 90);
    EXPECT_EQ(src.Fill(), 1);  // bytes 10-73
    src.Consume(src.Available());
    EXPECT_EQ(src.Fill(), -1);  // 26 more wanted, 6 there
}

TEST(Cbuffer, AllocGivesAZeroedBlockEveryTime) {
    Cbuffer b;
    ASSERT_NE(b.Alloc(16), nullptr);
    EXPECT_EQ(b.size, 16u);
    std::memset(b.data, 0xAB, b.size);
    ASSERT_NE(b.Alloc(64), nullptr);
    EXPECT_EQ(b.size, 64u);
    for (size_t k = 0; k < b.size; ++k) ASSERT_EQ(b.data[k], 0) << k;
    ASSERT_NE(b.Alloc(0), nullptr);  // an empty block is still a block
    EXPECT_EQ(b.size, 0u);
    b.Free();
    EXPECT_EQ(b.data, nullptr);
    EXPECT_EQ(b.size, 0u);
    b.Free();  // twice is harmless
}

TEST(Cbuffer, MovesHandOverTheBlock) {
    Cbuffer a;
    uint8_t* block = a.Alloc(8);
    Cbuffer b(std::move(a));
    EXPECT_EQ(b.data, block);
    EXPECT_EQ(b.size, 8u);
    EXPECT_EQ(a.data, nullptr);  // NOLINT(bugprone-use-after-move): moved-from state is defined
    EXPECT_EQ(a.size, 0u);

    Cbuffer c;
    c.Alloc(32);  // released by the assignment; the leak checker would see it otherwise
    c = std::move(b);
    EXPECT_EQ(c.data, block);
    EXPECT_EQ(c.size, 8u);
    EXPECT_EQ(b.data, nullptr);  // NOLINT(bugprone-use-after-move)
    EXPECT_EQ(b.size, 0u);
}

}  // namespace
