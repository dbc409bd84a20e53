#include <gtest/gtest.h>

#include "jobs/BlockName.h"
#include "jobs/JobFiles.h"
#include "support/TestFiles.h"

TEST(BlockName, CutsAtTheFileNamesLastDotWithAtLeastFiveDigits)
{
    const struct {
        const wchar_t* source;
        uint64_t n;
        const wchar_t* block;
    } cases[] = {
        {L"C:\\work\\report.v1.pdf", 0, L"C:\\work\\report.v1_00000.pdf"},
        {L"C:\\dir.v2\\notes", 0, L"C:\\dir.v2\\notes_00000"},  // not at a folder's dot
        {L"notes", 7, L"notes_00007"},
        {L"C:\\a\\f.bin", 42, L"C:\\a\\f_00042.bin"},
        {L"C:\\a\\f.bin", 1000, L"C:\\a\\f_01000.bin"},
        {L"C:\\a\\f.bin", 9999, L"C:\\a\\f_09999.bin"},
        {L"C:\\a\\f.bin", 99999, L"C:\\a\\f_99999.bin"},
        {L"C:\\a\\f.bin", 123456, L"C:\\a\\f_123456.bin"},
        {L"C:\\a\\f.bin", 4294967296ull, L"C:\\a\\f_4294967296.bin"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.block, BlockFileName(SplitSourcePath(c.source), c.n)) << Narrow(c.source);
}

TEST(BlockName, BareNameIsTheTextAfterTheLastBackslash)
{
    EXPECT_EQ(L"report_00000.pdf", BareName(L"C:\\work\\report_00000.pdf"));
    EXPECT_EQ(L"plain_00000", BareName(L"plain_00000"));
}

// (Around 0 and 1 MiB: the merge job's chunk counts.)
TEST(ChunkCount, RoundsUpToWholeMebibytes)
{
    EXPECT_EQ(4097u, ChunkCount((4ull << 30) + 1));
}
