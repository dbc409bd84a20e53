// A hundred and fifty separations, each merged back, each from a seed of its
// own: block and source sizes on every boundary (block, 1 MiB chunk, file),
// then random ones; names with and without extensions, in dotted folders,
// non-Latin; old blocks and an old result in the way. Nothing else in the
// folder may change. A failing trip names its seed: KESTRANE_FAULT_SEED=n
// runs the batch from seed n, KESTRANE_FAULT_TRIP=i only its trip i.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <random>

#include "support/Blocks.h"
#include "support/JobRunner.h"
#include "support/Snapshots.h"
#include "support/TestFiles.h"

namespace {

constexpr uint32_t kDefaultSeed = 20260121;
constexpr int kTrips = 150;

// Block sizes on every boundary: the smallest, around 1 K (the program's
// unit), around one and two transfer chunks, and a few chunks.
const int32_t kBoundaryBlockSizes[] = {1,       2,       3,           1023,        1024,
                                       1025,    65536,   kMiB - 1,    kMiB,        kMiB + 1,
                                       2 * kMiB - 1, 2 * kMiB, 2 * kMiB + 1, 3 * kMiB};
// Source sizes against the block size b, as blocks * b + plus: one byte,
// around one block, around two, exactly three.
const struct {
    uint64_t blocks;
    int plus;
} kBoundarySizes[] = {{0, 1}, {1, -1}, {1, 0}, {1, 1}, {2, -1}, {2, 0}, {2, 1}, {3, 0}};
constexpr int kCases = static_cast<int>(std::size(kBoundarySizes));
constexpr int kBoundaryTrips = static_cast<int>(std::size(kBoundaryBlockSizes)) * kCases;

// Source names, each with the stem and extension its blocks are named from.
struct SourceName {
    const wchar_t* path;  // relative to the trip folder
    const wchar_t* folder;
    const wchar_t* stem;
    const wchar_t* extension;
};
const SourceName kNames[] = {
    {L"f.bin", L"", L"f", L".bin"},
    {L"noext", L"", L"noext", L""},
    {L"a.b.c.dat", L"", L"a.b.c", L".dat"},
    {L"dir.v2\\notes", L"dir.v2\\", L"notes", L""},
    {L"dir.v2\\r\u00e9sum\u00e9 \u0444\u0430\u0439\u043b.txt", L"dir.v2\\",
     L"r\u00e9sum\u00e9 \u0444\u0430\u0439\u043b", L".txt"},
    {L"with space.tar.gz", L"", L"with space.tar", L".gz"},
};

struct Trip {
    int index;
    uint32_t seed;
    uint64_t size;
    int32_t blockSize;
    SourceName name;
    int staleBlocks;     // blocks of an earlier cut already there
    bool resultExists;   // an old result to be overwritten

    std::string Describe(uint32_t master) const
    {
        return "trip " + std::to_string(index) + " (seed " + std::to_string(seed) + "): " +
               std::to_string(size) + " bytes in blocks of " + std::to_string(blockSize) +
               ", source " + Narrow(name.path) + ", " + std::to_string(staleBlocks) +
               " old blocks, " + (resultExists ? "old result" : "no result") +
               "; rerun it alone with KESTRANE_FAULT_SEED=" + std::to_string(master) +
               " KESTRANE_FAULT_TRIP=" + std::to_string(index);
    }
};

uint32_t EnvNumber(const char* name, uint32_t fallback)
{
    const char* text = std::getenv(name);
    return text != nullptr && *text != '\0' ? static_cast<uint32_t>(std::strtoul(text, nullptr, 10))
                                            : fallback;
}

Trip MakeTrip(uint32_t master, int index)
{
    Trip trip;
    trip.index = index;
    trip.seed = master + static_cast<uint32_t>(index);
    std::mt19937 random(trip.seed);
    if (index < kBoundaryTrips) {
        trip.blockSize = kBoundaryBlockSizes[index / kCases];
        const auto& size = kBoundarySizes[index % kCases];
        trip.size = size.blocks * static_cast<uint64_t>(trip.blockSize) + size.plus;
    } else {
        // A block size spread evenly over its magnitude, 1 byte to 3 MiB,
        // and up to 40 blocks, the last one often on an edge; 6 MiB at most.
        const double magnitude = std::uniform_real_distribution<double>(0, 21.6)(random);
        trip.blockSize = std::max<int32_t>(1, static_cast<int32_t>(std::exp2(magnitude)));
        const uint64_t b = static_cast<uint64_t>(trip.blockSize);
        uint64_t blocks = std::uniform_int_distribution<uint64_t>(1, 40)(random);
        blocks = std::max<uint64_t>(1, std::min(blocks, (6ull * kMiB) / b));
        const uint64_t edges[] = {1, b, b > 1 ? b - 1 : 1};
        const uint32_t edge = random() % 4;
        const uint64_t last =
            edge < 3 ? edges[edge] : std::uniform_int_distribution<uint64_t>(1, b)(random);
        trip.size = (blocks - 1) * b + last;
    }
    if (index == kTrips - 1)
        trip.size = 0;  // an empty source: no block, and an empty result
    trip.name = kNames[random() % std::size(kNames)];
    trip.staleBlocks = random() % 3 == 0 ? static_cast<int>(random() % 6) + 1 : 0;
    trip.resultExists = random() % 3 == 0;
    return trip;
}

// One separation and its merge back in root\trip\, checked against
// snapshots of root.
void RunTrip(JobRunner& runner, const std::wstring& root, const Trip& trip)
{
    const std::wstring tripDir = root + L"trip\\";
    RemoveTree(tripDir);
    ASSERT_TRUE(::CreateDirectoryW(tripDir.c_str(), nullptr));
    const std::wstring folder = tripDir + trip.name.folder;
    ::CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring source = tripDir + trip.name.path;
    const std::wstring result = tripDir + L"joined.out";
    const std::wstring folderInRoot = std::wstring(L"trip\\") + trip.name.folder;

    const SourceBlocks blocks(folder, trip.name.stem, trip.name.extension, trip.blockSize);
    AddBystanders(folder, trip.name.stem, trip.name.extension);
    // Without an extension the bystander stem_00000 is block 0 itself: only
    // the trip's own old blocks may lie in the way.
    if (*trip.name.extension == L'\0') {
        ASSERT_TRUE(::DeleteFileW(blocks.Path(0).c_str()));
    }
    const Bytes bytes = MakeBytes(trip.size, trip.seed);
    WriteBytes(source, bytes);
    for (int n = 0; n < trip.staleBlocks; ++n)
        WriteBytes(folder + blocks.Name(n), MakeBytes(n * 700ull + 5, trip.seed + 99));
    if (trip.resultExists)
        WriteBytes(result, MakeBytes(4000, trip.seed + 98));

    const uint64_t b = static_cast<uint64_t>(trip.blockSize);
    const std::vector<std::wstring> names = blocks.Names((trip.size + b - 1) / b);
    std::set<std::wstring> blocksInRoot;
    for (const std::wstring& name : names)
        blocksInRoot.insert(folderInRoot + name);

    // Separate: the blocks and nothing else.
    const Snapshot before = TakeSnapshot(root);
    runner.SetSeparate(source, trip.blockSize);
    Events events = WithoutPositions(runner.Run(JOB_SEPARATE));
    Events expected;
    for (const std::wstring& name : names)
        expected.push_back(L"item " + name);
    if (!names.empty()) {
        expected.insert(expected.begin(), events.empty() ? L"" : events.front());  // the range
        expected.push_back(NoticeBox(kSeparated));
        expected.push_back(L"end separate");
    }
    EXPECT_EQ(expected, events);
    const Snapshot separated = TakeSnapshot(root);
    EXPECT_TRUE(OnlyChanged(before, separated, blocksInRoot));
    EXPECT_TRUE(blocks.AreWhole(names));

    // Merge back: the result and nothing else. An old block right after a
    // last block as large as the first (a single block is) is asked about.
    runner.SetMerge(folder, names, result);
    events = WithoutPositions(runner.Run(JOB_MERGE));
    ASSERT_GE(events.size(), 2u);
    const bool full = names.size() == 1 || (!names.empty() && trip.size % b == 0);
    const std::wstring next = blocks.Name(static_cast<uint32_t>(names.size()));
    EXPECT_EQ(full && trip.staleBlocks > static_cast<int>(names.size())
                  ? L"ask " + next + L" is missing from the list. Merge anyway?" : L"",
              events.front().compare(0, 4, L"ask ") == 0 ? events.front() : L"");
    EXPECT_EQ(NoticeBox(kMerged), events[events.size() - 2]);
    EXPECT_TRUE(OnlyChanged(separated, TakeSnapshot(root), {L"trip\\joined.out"}));
    EXPECT_TRUE(ReadBytes(result) == bytes) << "the merged file is not the source";

    RemoveTree(tripDir);
}

TEST(RoundTripBatch, EveryTripGivesTheSourceBackAndTouchesNothingElse)
{
    if (RunAgainWithQuickBoxes())
        return;
    const uint32_t master = EnvNumber("KESTRANE_FAULT_SEED", kDefaultSeed);
    const int only = static_cast<int>(EnvNumber("KESTRANE_FAULT_TRIP", 0xFFFFFFFFu));
    ASSERT_LT(only, kTrips) << "KESTRANE_FAULT_TRIP names no trip of the batch";
    TempDir root;
    JobRunner runner;
    for (int index = 0; index < kTrips; ++index) {
        if (only >= 0 && index != only)
            continue;
        const Trip trip = MakeTrip(master, index);
        SCOPED_TRACE(trip.Describe(master));
        RunTrip(runner, root.Path(), trip);
        if (::testing::Test::HasFailure())
            break;  // the trace above names the trip and how to rerun it
    }
}

}  // namespace
