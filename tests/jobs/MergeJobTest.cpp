// The merge job on real files: what it writes, posts and shows, and every
// way it stops.
#include <gtest/gtest.h>

#include <cstring>

#include "app/Handles.h"
#include "jobs/SystemPath.h"
#include "support/Blocks.h"
#include "support/JobRunner.h"
#include "support/Snapshots.h"
#include "support/TestFiles.h"

namespace {

const std::wstring kSuccess = NoticeBox(kMerged);

// The bytes of the files named, in dir, end to end.
Bytes Joined(const TempDir& dir, const std::vector<std::wstring>& names)
{
    Bytes all;
    for (const std::wstring& name : names) {
        const Bytes part = ReadBytes(dir / name);
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

// The files in list order (one may come twice), the chunks counted from
// each file's size. Each case merges over the result of the one before: a
// new result, a shorter one, then a longer one cut to nothing.
TEST(MergeJob, JoinsTheFilesInListOrderAndCountsTheChunksOfEach)
{
    TempDir dir;
    WriteBytes(dir / L"a", MakeBytes(3, 1));
    WriteBytes(dir / L"b", MakeBytes(5, 2));
    WriteBytes(dir / L"exact", MakeBytes(kMiB, 3));
    WriteBytes(dir / L"over", MakeBytes(kMiB + 1, 4));
    WriteBytes(dir / L"empty", {});
    const Events threeChunks = {L"range 1 3", L"pos 1", L"pos 2", L"pos 3", kSuccess, L"end merge"};
    const struct {
        std::vector<std::wstring> names;
        Events events;
    } cases[] = {
        {{L"b", L"a", L"b"}, threeChunks},
        {{L"exact", L"empty", L"over"}, threeChunks},
        {{L"empty", L"empty"}, {L"range 1 0", kSuccess, L"end merge"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.names.front()));
        JobRunner runner;
        runner.SetMerge(dir.Path(), c.names, dir / L"out");
        EXPECT_EQ(c.events, runner.Run(JOB_MERGE));
        EXPECT_EQ(Joined(dir, c.names), ReadBytes(dir / L"out"));
        EXPECT_EQ(c.names.size(), runner.job.m_fileList.size());  // kept for another run
    }
}

// Cancel at an exact poll point: the sizing pass polls once per entry, the
// check of the list once, the merge pass once per entry and once per chunk.
// Until the list is checked the result is left as it was; then it is
// truncated, and keeps what was written before the cancel.
TEST(MergeJob, CancelAtEachPassKeepsWhatWasWritten)
{
    struct Case {
        const char* where;
        int poll;
        Events events;
        Bytes result;
    };
    const Case cases[] = {
        {"in the sizing pass", 2, {}, MakeBytes(30, 3)},
        {"once the list is checked", 3, {}, MakeBytes(30, 3)},
        {"before the merge pass writes", 4, {L"range 1 2", L"end merge"}, {}},
        {"before the second entry", 6, {L"range 1 2", L"pos 1", L"end merge"}, MakeBytes(10, 1)},
    };
    TempDir dir;
    WriteBytes(dir / L"a", MakeBytes(10, 1));
    WriteBytes(dir / L"b", MakeBytes(20, 2));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.where);
        WriteBytes(dir / L"out", MakeBytes(30, 3));
        JobRunner runner;
        runner.SetMerge(dir.Path(), {L"a", L"b"}, dir / L"out");
        runner.job.m_nCancelAtPoll = c.poll;
        EXPECT_EQ(c.events, runner.Run(JOB_MERGE));
        EXPECT_EQ(c.result, ReadBytes(dir / L"out"));
    }
}

// A list that holds the blocks of one separation is checked before anything
// is written: the first thing wrong with it, in list order, is asked about,
// naming its file. No writes and posts nothing; Yes merges the list as it
// stands. Whole lists in order, in any letter case, and lists that are not
// blocks merge without a question.
TEST(MergeJob, AsksAboutTheFirstFlawOfABlockListBeforeWriting)
{
    TempDir dir;
    using Names = std::vector<std::wstring>;
    const Names r = BlockNames(L"r", L".pdf", 3), t = BlockNames(L"t", L".dat", 3);
    const Names v = BlockNames(L"v", L".dat", 3), dated = {L"log_20240101.txt", L"log_20240301.txt"};
    // r's last block short, t's middle one cut short, v's middle one longer.
    const Names files[] = {r, t, v, dated, {L"r.pdf", L"r_000001.pdf"}};
    const std::vector<int> sizes[] = {{4, 4, 2}, {4, 3, 4}, {4, 5, 1}, {4, 4}, {10, 4}};
    for (size_t f = 0; f < std::size(files); ++f)
        for (size_t i = 0; i < files[f].size(); ++i)
            WriteBytes(dir / files[f][i], MakeBytes(sizes[f][i], 7));
    const struct {
        const char* what;
        Names names;
        std::wstring question;  // empty: none
    } cases[] = {
        {"whole and in order", r, L""},
        {"in other letter case", {r[0], L"R_00001.PDF", r[2]}, L""},
        {"a gap", {r[0], r[2]}, L"r_00001.pdf is missing from the list."},
        {"a block twice", {r[0], r[1], r[1], r[2]}, L"r_00001.pdf is in the list twice."},
        {"out of order", {r[1], r[0], r[2]}, L"r_00000.pdf is out of order in the list."},
        {"not from 0", {r[1], r[2]}, L"r_00000.pdf is missing from the list."},
        {"a short block in the middle", t, L"t_00001.dat is smaller than the blocks before it."},
        {"a longer one", v, L"v_00001.dat is larger than the blocks before it."},
        {"full last block, next one there", {r[0], r[1]}, L"r_00002.pdf is missing from the list."},
        {"the source among its blocks", {L"r.pdf", r[0], r[1], r[2]},
         L"r.pdf is not one of the blocks r_NNNNN.pdf."},
        {"six digits and a leading zero", {r[0], L"r_000001.pdf", r[2]},
         L"r_000001.pdf is not one of the blocks r_NNNNN.pdf."},
        {"dated names", dated, L""},
        {"half of them blocks", {r[0], dated[0]}, L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteBytes(dir / L"out", MakeBytes(30, 3));
        JobRunner runner;
        runner.SetMerge(dir.Path(), c.names, dir / L"out");
        const Events asked =
            c.question.empty() ? Events{} : Events{L"ask " + c.question + L" Merge anyway?"};
        if (!asked.empty()) {
            const Snapshot before = TakeSnapshot(dir.Path());
            runner.job.m_bAnswerYes = false;
            EXPECT_EQ(asked, runner.Run(JOB_MERGE));
            EXPECT_TRUE(OnlyChanged(before, TakeSnapshot(dir.Path()), {}));
            runner.job.m_bAnswerYes = true;
        }
        Events merged = asked;
        merged.insert(merged.end(),
                      {L"range 1 " + std::to_wstring(c.names.size()), kSuccess, L"end merge"});
        EXPECT_EQ(merged, WithoutPositions(runner.Run(JOB_MERGE)));
        EXPECT_EQ(Joined(dir, c.names), ReadBytes(dir / L"out"));
    }
}

// Each error text reached through a real fault, with what is posted before
// the box and what the result holds; nothing else in the folder changes. A
// result that is one of the files is refused however its name is written.
TEST(MergeJobErrors, EachFaultShowsItsTextAfterWhatItPosted)
{
    TempDir dir;
    uint32_t seed = 1;
    for (const wchar_t* name : {L"a_00000", L"held", L"a_00002", L"w"})
        WriteBytes(dir / name, MakeBytes(10, seed++));
    WriteBytes(dir / L"Part.bin", MakeBytes(100, 5));
    ASSERT_TRUE(::CreateDirectoryW((dir / L"folder").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW((dir / L"sub").c_str(), nullptr));
    const std::wstring part = dir / L"Part.bin";
    ASSERT_TRUE(::CreateHardLinkW((dir / L"link.bin").c_str(), part.c_str(), nullptr));
    wchar_t shortName[MAX_PATH] = L"";
    ASSERT_NE(0u, ::GetShortPathNameW(part.c_str(), shortName, MAX_PATH));
    CHandle held(HoldOpen(dir / L"held", GENERIC_READ, FILE_SHARE_READ));
    CHandle writer(HoldOpen(dir / L"w", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE));
    ASSERT_TRUE(held.IsValid() && writer.IsValid());
    const Snapshot before = TakeSnapshot(dir.Path());
    const Events resultRefused = {ErrorBox(kCantOpenResult)};
    const Events resultListed = {ErrorBox(kResultIsListed)};
    const std::vector<std::wstring> withPart = {L"a_00000", L"Part.bin"};
    const struct {
        const char* what;
        std::vector<std::wstring> names;
        std::wstring result;
        Events events;
        Bytes out;
    } cases[] = {
        {"result in a missing folder", {L"a_00000"}, dir / L"missing\\out", resultRefused, {}},
        {"result is a folder", {L"a_00000"}, dir / L"folder", resultRefused, {}},
        {"result held open elsewhere", {L"a_00000"}, dir / L"held", resultRefused, {}},
        {"a listed block missing", {L"a_00000", L"a_00001", L"a_00002"}, dir / L"out",
         {L"range 1 2", L"pos 1", L"end merge", ErrorBox(kCantOpenMerged)}, MakeBytes(10, 1)},
        {"a listed file held open for writing", {L"w"}, dir / L"out",
         {L"range 1 0", L"end merge", ErrorBox(kCantOpenMerged)}, {}},
        {"result a listed file in capitals", withPart, dir / L"PART.BIN", resultListed, {}},
        {"result a listed file through ..", withPart, dir / L"sub\\..\\Part.bin", resultListed, {}},
        {"result a listed file by its short name", withPart, shortName, resultListed, {}},
        {"result a hard link to a listed file", withPart, dir / L"link.bin", resultListed, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        JobRunner runner;
        runner.SetMerge(dir.Path(), c.names, c.result);
        EXPECT_EQ(c.events, runner.Run(JOB_MERGE));
        if (c.result == dir / L"out") {
            EXPECT_EQ(c.out, ReadBytes(dir / L"out"));
        }
        EXPECT_TRUE(OnlyChanged(before, TakeSnapshot(dir.Path()), {L"out"}));
    }
}

// ReFS's 64-bit file index is not unique: there the 128-bit id decides.
// Windows 7 has no 128-bit ids: there the index does. Some file systems
// report an index of 0 for every file, or no volume serial, so that files of
// two such volumes can share serial and index: there the paths the files
// resolve to decide, and where even those can't be had (or a file's identity
// can't be read at all), the full paths as given, in any letter case. Either
// way a result that is another file is merged, one that is a listed file is
// still refused.
TEST(MergeJobErrors, WhereTheFileIndexIsNotUniqueTheIdOrThePathDecides)
{
    TempDir dir;
    ASSERT_TRUE(::CreateDirectoryW((dir / L"sub").c_str(), nullptr));
    WriteBytes(dir / L"Part.bin", MakeBytes(100, 1));
    WriteBytes(dir / L"other", MakeBytes(200, 2));
    const auto unreadable = [](const std::wstring& path, FileIdentity& id) {
        id = FileIdentity();
        id.finalPath = GetFullPath(path);
    };
    const struct {
        const char* what;
        std::function<void(const std::wstring&, FileIdentity&)> alter;
    } cases[] = {
        {"one 64-bit index for every file, the 128-bit ids as read", [](auto&, FileIdentity& id) {
             id.indexHigh = 0;
             id.indexLow = 7;
         }},
        {"no 128-bit ids, the 64-bit indexes as read", [](auto&, FileIdentity& id) {
             id.volumeSerial = 0;
             std::memset(id.fileId, 0, sizeof(id.fileId));
         }},
        {"no 128-bit id, file index 0", [](auto&, FileIdentity& id) {
             id.volumeSerial = 0;
             id.indexHigh = id.indexLow = 0;
         }},
        {"no 128-bit id, volume serial 0, index 7", [](auto&, FileIdentity& id) {
             id.volumeSerial = 0;
             id.volume = 0;
             id.indexHigh = 0;
             id.indexLow = 7;
         }},
        {"no identity can be read", unreadable},
        {"the result's identity can't be read", [&](const std::wstring& path, FileIdentity& id) {
             if (path != dir / L"other" && path != dir / L"Part.bin")
                 unreadable(path, id);
         }},
    };
    const std::vector<std::wstring> names = {L"other", L"Part.bin"};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        // An existing result that is neither listed file.
        WriteBytes(dir / L"out", MakeBytes(50, 3));
        JobRunner runner;
        runner.job.m_alterIdentity = c.alter;
        runner.SetMerge(dir.Path(), names, dir / L"out");
        EXPECT_EQ((Events{L"range 1 2", L"pos 1", L"pos 2", kSuccess, L"end merge"}),
                  runner.Run(JOB_MERGE));
        EXPECT_EQ(Joined(dir, names), ReadBytes(dir / L"out"));

        for (const std::wstring& result : {dir / L"PART.BIN", dir / L"sub\\..\\Part.bin"}) {
            SCOPED_TRACE(Narrow(result));
            runner.SetMerge(dir.Path(), names, result);
            EXPECT_EQ(Events{ErrorBox(kResultIsListed)}, runner.Run(JOB_MERGE));
            EXPECT_EQ(MakeBytes(100, 1), ReadBytes(dir / L"Part.bin"));
        }
    }
}

}  // namespace
