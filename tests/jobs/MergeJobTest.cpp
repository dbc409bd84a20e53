// The merge job on real files: what it writes, posts and shows, and every
// way it stops.
#include <gtest/gtest.h>

#include <cstring>

#include "app/Handles.h"
#include "support/JobRunner.h"
#include "support/TestFiles.h"

namespace {

const std::wstring kSuccess = NoticeBox(kMerged);

Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

TEST(MergeJob, JoinsTheFilesInListOrder)
{
    TempDir dir;
    WriteBytes(dir / L"a", MakeBytes(3, 1));
    WriteBytes(dir / L"b", MakeBytes(5, 2));
    JobRunner runner;
    runner.SetMerge(dir.Path(), {L"b", L"a", L"b"}, dir / L"out");
    EXPECT_EQ((Events{L"range 1 3", L"pos 1", L"pos 2", L"pos 3", kSuccess, L"end merge"}),
              runner.Run(JOB_MERGE));
    EXPECT_EQ(Concat({MakeBytes(5, 2), MakeBytes(3, 1), MakeBytes(5, 2)}), ReadBytes(dir / L"out"));
    EXPECT_EQ(3u, runner.job.m_fileList.size());  // the list is kept for another run
}

TEST(MergeJob, CountsChunksFromEachFilesSize)
{
    TempDir dir;
    WriteBytes(dir / L"exact", MakeBytes(1048576, 1));
    WriteBytes(dir / L"over", MakeBytes(1048577, 2));
    WriteBytes(dir / L"empty", {});
    JobRunner runner;
    runner.SetMerge(dir.Path(), {L"exact", L"empty", L"over"}, dir / L"out");
    EXPECT_EQ((Events{L"range 1 3", L"pos 1", L"pos 2", L"pos 3", kSuccess, L"end merge"}),
              runner.Run(JOB_MERGE));
    EXPECT_EQ(Concat({MakeBytes(1048576, 1), MakeBytes(1048577, 2)}), ReadBytes(dir / L"out"));
}

TEST(MergeJob, EmptyFilesGiveAnEmptyResultAndTruncateAnOldOne)
{
    TempDir dir;
    WriteBytes(dir / L"e1", {});
    WriteBytes(dir / L"e2", {});
    WriteBytes(dir / L"out", MakeBytes(100, 9));
    JobRunner runner;
    runner.SetMerge(dir.Path(), {L"e1", L"e2"}, dir / L"out");
    EXPECT_EQ((Events{L"range 1 0", kSuccess, L"end merge"}), runner.Run(JOB_MERGE));
    EXPECT_TRUE(FileExists(dir / L"out"));
    EXPECT_EQ(0u, FileSizeOf(dir / L"out"));
}

// Cancel at an exact poll point: the sizing pass polls once per entry, the
// merge pass once per entry and once per chunk. The result, truncated at
// the start, keeps what was written before the cancel.
TEST(MergeJob, CancelAtEachPassKeepsWhatWasWritten)
{
    struct Case {
        const char* where;
        int poll;
        Events events;
        Bytes result;
    };
    const Case cases[] = {
        {"in the sizing pass", 2, {}, {}},
        {"before the merge pass writes", 3, {L"range 1 2", L"end merge"}, {}},
        {"before the second entry", 5, {L"range 1 2", L"pos 1", L"end merge"}, MakeBytes(10, 1)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.where);
        TempDir dir;
        WriteBytes(dir / L"a", MakeBytes(10, 1));
        WriteBytes(dir / L"b", MakeBytes(20, 2));
        WriteBytes(dir / L"out", MakeBytes(30, 3));
        JobRunner runner;
        runner.SetMerge(dir.Path(), {L"a", L"b"}, dir / L"out");
        runner.job.m_nCancelAtPoll = c.poll;
        EXPECT_EQ(c.events, runner.Run(JOB_MERGE));
        EXPECT_TRUE(FileExists(dir / L"out"));
        EXPECT_EQ(c.result, ReadBytes(dir / L"out"));
    }
}

// Each error text reached through a real fault, with what is posted before
// the box and what the result holds. In the folder: a and c (10 bytes each),
// a folder, held (held open without write sharing: as root under Wine a
// read-only file would be written all the same) and w (held open for
// writing).
TEST(MergeJobErrors, EachFaultShowsItsTextAfterWhatItPosted)
{
    TempDir dir;
    WriteBytes(dir / L"a", MakeBytes(10, 1));
    WriteBytes(dir / L"c", MakeBytes(10, 3));
    WriteBytes(dir / L"held", MakeBytes(10, 2));
    WriteBytes(dir / L"w", MakeBytes(10, 4));
    ASSERT_TRUE(::CreateDirectoryW((dir / L"folder").c_str(), nullptr));
    CHandle held(HoldOpen(dir / L"held", GENERIC_READ, FILE_SHARE_READ));
    CHandle writer(HoldOpen(dir / L"w", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE));
    ASSERT_TRUE(held.IsValid() && writer.IsValid());
    const Events resultRefused = {ErrorBox(kCantOpenResult)};
    const struct {
        const char* what;
        std::vector<std::wstring> names;
        const wchar_t* result;
        Events events;
        Bytes out;
    } cases[] = {
        {"result in a missing folder", {L"a"}, L"missing\\out", resultRefused, {}},
        {"result is a folder", {L"a"}, L"folder", resultRefused, {}},
        {"result held open elsewhere", {L"a"}, L"held", resultRefused, {}},
        {"a listed file missing", {L"a", L"gone", L"c"}, L"out",
         {L"range 1 2", L"pos 1", L"end merge", ErrorBox(kCantOpenMerged)}, MakeBytes(10, 1)},
        {"a listed file held open for writing", {L"w"}, L"out",
         {L"range 1 0", L"end merge", ErrorBox(kCantOpenMerged)}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        JobRunner runner;
        runner.SetMerge(dir.Path(), c.names, dir / c.result);
        EXPECT_EQ(c.events, runner.Run(JOB_MERGE));
        if (std::wstring(c.result) == L"out") {
            EXPECT_EQ(c.out, ReadBytes(dir / L"out"));
        }
    }
    held.Close();
    EXPECT_EQ(MakeBytes(10, 2), ReadBytes(dir / L"held"));
    EXPECT_FALSE(FileExists(dir / L"missing"));
}

// The result must never destroy one of the files to merge, however the two
// names are written.
TEST(MergeJobErrors, ResultThatIsOneOfTheFilesIsRefusedUntouched)
{
    TempDir dir;
    ASSERT_TRUE(::CreateDirectoryW((dir / L"sub").c_str(), nullptr));
    WriteBytes(dir / L"Part.bin", MakeBytes(100, 1));
    WriteBytes(dir / L"other", MakeBytes(100, 2));
    ASSERT_TRUE(::CreateHardLinkW((dir / L"link.bin").c_str(), (dir / L"Part.bin").c_str(), nullptr));
    wchar_t shortName[MAX_PATH] = L"";
    ASSERT_NE(0u, ::GetShortPathNameW((dir / L"Part.bin").c_str(), shortName, MAX_PATH));

    const Events refused = {ErrorBox(kResultIsListed)};
    for (const std::wstring& result :
         {dir / L"PART.BIN", dir / L"sub\\..\\Part.bin", std::wstring(shortName), dir / L"link.bin"}) {
        SCOPED_TRACE(Narrow(result));
        JobRunner runner;
        runner.SetMerge(dir.Path(), {L"other", L"Part.bin"}, result);
        EXPECT_EQ(refused, runner.Run(JOB_MERGE));
        EXPECT_EQ(MakeBytes(100, 1), ReadBytes(dir / L"Part.bin"));
    }
}

// ReFS's 64-bit file index is not unique: there the 128-bit id decides. Some
// file systems report an index of 0 for every file, or no volume serial, so
// that files of two such volumes can share serial and index: there the
// paths the files resolve to decide. Either way a result that is another
// file is merged, one that is a listed file is still refused.
TEST(MergeJobErrors, WhereTheFileIndexIsNotUniqueTheIdOrThePathDecides)
{
    TempDir dir;
    ASSERT_TRUE(::CreateDirectoryW((dir / L"sub").c_str(), nullptr));
    WriteBytes(dir / L"Part.bin", MakeBytes(100, 1));
    WriteBytes(dir / L"other", MakeBytes(200, 2));
    const Events refused = {L"box Error: The merge result file can't be one of the files to merge!"};
    struct Case {
        const char* what;
        void (*alter)(FileIdentity&);
    };
    const Case cases[] = {
        {"one 64-bit index for every file, 128-bit ids", [](FileIdentity& id) {
             if (!id.IsIdKnown()) {  // where the file system gives no 128-bit id
                 id.volumeSerial = id.volume;
                 std::memcpy(id.fileId, &id.indexLow, sizeof(id.indexLow));
                 std::memcpy(id.fileId + 4, &id.indexHigh, sizeof(id.indexHigh));
             }
             id.indexHigh = 0;
             id.indexLow = 7;
         }},
        {"no 128-bit id, file index 0", [](FileIdentity& id) {
             id.volumeSerial = 0;
             id.indexHigh = id.indexLow = 0;
         }},
        {"no 128-bit id, volume serial 0, index 7", [](FileIdentity& id) {
             id.volumeSerial = 0;
             id.volume = 0;
             id.indexHigh = 0;
             id.indexLow = 7;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // An existing result that is neither listed file.
        WriteBytes(dir / L"out", MakeBytes(50, 3));
        JobRunner runner;
        runner.job.m_alterIdentity = c.alter;
        runner.SetMerge(dir.Path(), {L"other", L"Part.bin"}, dir / L"out");
        EXPECT_EQ((Events{L"range 1 2", L"pos 1", L"pos 2", kSuccess, L"end merge"}),
                  runner.Run(JOB_MERGE));
        EXPECT_EQ(Concat({MakeBytes(200, 2), MakeBytes(100, 1)}), ReadBytes(dir / L"out"));

        for (const std::wstring& result : {dir / L"PART.BIN", dir / L"sub\\..\\Part.bin"}) {
            SCOPED_TRACE(Narrow(result));
            runner.SetMerge(dir.Path(), {L"other", L"Part.bin"}, result);
            EXPECT_EQ(refused, runner.Run(JOB_MERGE));
            EXPECT_EQ(MakeBytes(100, 1), ReadBytes(dir / L"Part.bin"));
        }
    }
}

}  // namespace
