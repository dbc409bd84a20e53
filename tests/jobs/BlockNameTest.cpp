#include <gtest/gtest.h>

#include "jobs/BlockName.h"
#include "jobs/JobFiles.h"

TEST(BlockName, SplitsAtTheLastDotOfTheFileName)
{
    BlockNameParts parts = SplitSourcePath(L"C:\\work\\report.v1.pdf");
    EXPECT_EQ(L"C:\\work\\report.v1", parts.base);
    EXPECT_EQ(L".pdf", parts.extension);
    EXPECT_EQ(L"C:\\work\\report.v1_00000.pdf", BlockFileName(parts, 0));
}

TEST(BlockName, NameWithoutDotKeepsTheBlocksBesideTheSource)
{
    // A dot in a directory name must not split the path there.
    BlockNameParts parts = SplitSourcePath(L"C:\\dir.v2\\notes");
    EXPECT_EQ(L"C:\\dir.v2\\notes_00000", BlockFileName(parts, 0));
    EXPECT_EQ(L"notes_00007", BlockFileName(SplitSourcePath(L"notes"), 7));
}

TEST(BlockName, IndexHasAtLeastFiveDigits)
{
    BlockNameParts parts = SplitSourcePath(L"C:\\a\\f.bin");
    EXPECT_EQ(L"C:\\a\\f_00042.bin", BlockFileName(parts, 42));
    EXPECT_EQ(L"C:\\a\\f_01000.bin", BlockFileName(parts, 1000));
    EXPECT_EQ(L"C:\\a\\f_09999.bin", BlockFileName(parts, 9999));
    EXPECT_EQ(L"C:\\a\\f_99999.bin", BlockFileName(parts, 99999));
    EXPECT_EQ(L"C:\\a\\f_123456.bin", BlockFileName(parts, 123456));
    EXPECT_EQ(L"C:\\a\\f_4294967296.bin", BlockFileName(parts, 4294967296ull));
}

TEST(BlockName, BareNameIsTheTextAfterTheLastBackslash)
{
    EXPECT_EQ(L"report_00000.pdf", BareName(L"C:\\work\\report_00000.pdf"));
    EXPECT_EQ(L"plain_00000", BareName(L"plain_00000"));
}

TEST(ChunkCount, RoundsUpToWholeMebibytes)
{
    EXPECT_EQ(0u, ChunkCount(0));
    EXPECT_EQ(1u, ChunkCount(1));
    EXPECT_EQ(1u, ChunkCount(1048576));
    EXPECT_EQ(2u, ChunkCount(1048577));
    EXPECT_EQ(4097u, ChunkCount((4ull << 30) + 1));
}
