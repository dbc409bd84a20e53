// Choosing files through the platform's real open and save dialogs or by
// dropping them on the window, the order of the merge list, the names a
// separation hands over, and the refusal of all of these while a job runs.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "jobs/WorkerMessages.h"
#include "support/JobSteps.h"

namespace {

using Names = std::vector<std::wstring>;

void WriteFiles(const std::wstring& dir, const Names& names)
{
    for (uint32_t seed = 1; seed <= names.size(); ++seed)
        WriteBytes(dir + names[seed - 1], MakeBytes(100 + seed, seed));
}

// Runs the merge browse and chooses typed in the dialog showing dir.
bool BrowseMerge(MainDialogDriver& driver, const std::wstring& dir, const std::wstring& typed)
{
    driver.Click(IDC_BROWSE_MERGE);
    return ShowFolderInFileDialog(L"Open", dir) && AnswerFileDialog(L"Open", typed) &&
           driver.Sync();
}

std::wstring ListDir(MainDialogDriver& driver)
{
    CLock lock(driver.Object().m_lock);
    return driver.Object().m_strListDir;
}

// Drops paths on the middle of control id as the shell does: a DROPFILES of
// wide names, its point in client coordinates, posted. The window must let it go.
HGLOBAL DropFiles(const MainDialogDriver& driver, int id, const Names& paths)
{
    std::wstring list;
    for (const std::wstring& path : paths)
        list += path + L'\0';
    HGLOBAL drop = ::GlobalAlloc(GHND, sizeof(DROPFILES) + (list.size() + 1) * sizeof(wchar_t));
    auto* files = static_cast<DROPFILES*>(::GlobalLock(drop));
    RECT at;
    ::GetWindowRect(driver.Item(id), &at);
    ::MapWindowPoints(nullptr, driver.Dialog(), reinterpret_cast<POINT*>(&at), 2);
    *files = {sizeof(DROPFILES), {(at.left + at.right) / 2, (at.top + at.bottom) / 2}, FALSE, TRUE};
    list.copy(reinterpret_cast<wchar_t*>(files + 1), list.size());  // and the zeroed end
    ::GlobalUnlock(drop);
    driver.Post(WM_DROPFILES, reinterpret_cast<WPARAM>(drop));
    return drop;
}

// Cancels the file dialogs open now; whether there were any.
bool CancelFileDialogs()
{
    bool any = false;
    for (const wchar_t* caption : {L"Open", L"Save As"}) {
        if (FindOwnWindow(caption) != nullptr) {
            any = true;
            CancelFileDialog(caption);
        }
    }
    return any;
}

} // namespace

TEST(Browse, SourceAndResultTakeTheChosenFullPath)
{
    TempDir dir;
    WriteFiles(dir.Path(), {L"source.bin", L"old.bin"});
    const Bytes old = ReadBytes(dir / L"old.bin");
    MainDialogDriver driver;
    driver.Click(IDC_BROWSE_SOURCE);
    ASSERT_TRUE(AnswerFileDialog(L"Open", dir / L"source.bin"));
    ASSERT_TRUE(driver.Sync());
    EXPECT_EQ(dir / L"source.bin", driver.Text(IDC_SOURCE_FILE));

    // A new file for the result...
    driver.Click(IDC_BROWSE_RESULT);
    ASSERT_TRUE(AnswerFileDialog(L"Save As", dir / L"new.bin"));
    ASSERT_TRUE(driver.Sync());
    EXPECT_EQ(dir / L"new.bin", driver.Text(IDC_RESULT_FILE));
    EXPECT_FALSE(FileExists(dir / L"new.bin"));

    // ...or an existing one, which a merge would replace, only once the user
    // agrees: "No" goes back to the dialog, "Yes" takes it, the file kept.
    driver.Click(IDC_BROWSE_RESULT);
    HWND save = SubmitFileDialog(L"Save As", dir / L"old.bin");
    ASSERT_NE(nullptr, save);
    ASSERT_TRUE(AnswerQuestion(save, IDNO)) << "an existing file was taken without a question";
    ASSERT_TRUE(::IsWindow(save)) << "\"No\" did not go back to the dialog";
    EXPECT_EQ(dir / L"new.bin", driver.Text(IDC_RESULT_FILE));
    ASSERT_EQ(save, SubmitFileDialog(L"Save As", dir / L"old.bin"));
    ASSERT_TRUE(AnswerQuestion(save, IDYES));
    ASSERT_TRUE(WaitFor([save] { return !::IsWindow(save); }));
    ASSERT_TRUE(driver.Sync());
    EXPECT_EQ(dir / L"old.bin", driver.Text(IDC_RESULT_FILE));
    EXPECT_EQ(old, ReadBytes(dir / L"old.bin"));

    // Neither touches the merge side.
    EXPECT_TRUE(driver.ListItems().empty());
    EXPECT_EQ(L"", ListDir(driver));
    EXPECT_EQ(dir / L"source.bin", driver.Text(IDC_SOURCE_FILE));
}

TEST(Browse, MergeSelectionIsSortedAndReplacesTheList)
{
    TempDir dir;
    TempDir other;
    WriteFiles(dir.Path(), {L"b.bin", L"A.bin", L"c.bin"});
    WriteFiles(other.Path(), {L"z.bin"});
    MainDialogDriver driver;
    ASSERT_TRUE(BrowseMerge(driver, dir.Path(), L"\"b.bin\" \"A.bin\" \"c.bin\""));
    EXPECT_EQ((Names{L"A.bin", L"b.bin", L"c.bin"}), driver.ListItems());
    EXPECT_EQ(LB_ERR, driver.ListSelection());
    EXPECT_EQ(dir.Path(), ListDir(driver));

    // One file chosen in the same dialog: the list is that one name.
    ASSERT_TRUE(BrowseMerge(driver, dir.Path(), L"c.bin"));
    EXPECT_EQ((Names{L"c.bin"}), driver.ListItems());
    EXPECT_EQ(dir.Path(), ListDir(driver));

    // Another directory, the file typed with its full path.
    ASSERT_TRUE(BrowseMerge(driver, dir.Path(), other / L"z.bin"));
    EXPECT_EQ((Names{L"z.bin"}), driver.ListItems());
    EXPECT_EQ(other.Path(), ListDir(driver));
    EXPECT_EQ(LB_ERR, driver.ListSelection());

    // The chosen files need not exist; names equal but for case keep the
    // dialog's order.
    ASSERT_TRUE(BrowseMerge(driver, dir.Path(), L"\"y.dat\" \"X.dat\" \"x.dat\" \"w.dat\""));
    EXPECT_EQ((Names{L"w.dat", L"X.dat", L"x.dat", L"y.dat"}), driver.ListItems());
    ASSERT_TRUE(BrowseMerge(driver, dir.Path(), L"\"x.dat\" \"X.dat\""));
    EXPECT_EQ((Names{L"x.dat", L"X.dat"}), driver.ListItems());
}

// Names that differ only in a run of digits go by its number, as the shell
// lists them: blocks past 99,999 (six digits) follow 99,999, so the merge
// rebuilds the source. Names equal but for case keep the dialog's order.
TEST(Browse, MergeSelectionOrdersRunsOfDigitsByTheirNumber)
{
    TempDir dir;
    const Bytes source = MakeBytes(5 * 1000 + 7, 42);
    const Names blocks = BlockNames(L"film", L".bin", 5, 99998);
    for (size_t n = 0; n < blocks.size(); ++n) {
        const auto end = n + 1 < blocks.size() ? source.begin() + (n + 1) * 1000 : source.end();
        WriteBytes(dir / blocks[n], Bytes(source.begin() + n * 1000, end));
    }
    WriteFiles(dir.Path(), {L"B2.dat", L"a10.dat", L"b10.dat", L"A9.dat", L"x01.dat", L"x1.dat"});
    MainDialogDriver driver;
    ASSERT_TRUE(BrowseMerge(driver, dir.Path(),
                            L"\"film_100001.bin\" \"film_99999.bin\" \"film_100002.bin\" "
                            L"\"film_100000.bin\" \"film_99998.bin\""));
    EXPECT_EQ(blocks, driver.ListItems());
    driver.SetText(IDC_RESULT_FILE, dir / L"film.bin");
    EXPECT_EQ(kMerged, RunJob(driver, IDC_MERGE));
    EXPECT_EQ(source, ReadBytes(dir / L"film.bin"));
    ASSERT_TRUE(BrowseMerge(driver, dir.Path(), L"\"x1.dat\" \"B2.dat\" \"b10.dat\" "
                                                L"\"a10.dat\" \"A9.dat\" \"x01.dat\""));
    EXPECT_EQ((Names{L"A9.dat", L"a10.dat", L"B2.dat", L"b10.dat", L"x01.dat", L"x1.dat"}),
              driver.ListItems());
}

// A selection far beyond the dialog's first buffer (67,600 characters)
// reaches the list whole and in order, chosen in the real dialog: 12,000
// blocks typed into its file name field and OK pressed; and blocks of long
// names chosen with Ctrl+A in its file list and Enter there, which does not
// go through the OK button. Each name that joins that selection has the
// dialog rebuild its field and the program measure it again: the time grows
// with names times characters, so 360 names of 200 characters pass the
// buffer in little more than half the time of 600 shorter ones. How long
// the list takes to fill is reported.
TEST(Browse, ThousandsOfChosenBlocksAllReachTheList)
{
    const struct {
        const char* how;
        bool typing;
        std::wstring stem;
        int count;
    } cases[] = {
        {"typed, OK", true, L"twelve-thousand", 12000},
        {"Ctrl+A, Enter", false, L"long-" + std::wstring(185, L'x'), 360},
    };
    MainDialogDriver driver;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        TempDir dir;
        const Names blocks = BlockNames(c.stem, L".bin", c.count);
        LayOutFiles(dir.Path(), blocks);
        Names typed = blocks;
        std::shuffle(typed.begin(), typed.end(), std::mt19937(20261208));
        std::wstring text;
        for (const std::wstring& name : typed)
            text += L"\"" + name + L"\" ";
        ASSERT_GT(text.size(), 70000u) << "within the dialog's first buffer";

        driver.SendToItem(IDC_MERGE_LIST, LB_RESETCONTENT);
        driver.Click(IDC_BROWSE_MERGE);
        ASSERT_TRUE(ShowFolderInFileDialog(L"Open", dir.Path()));
        HWND open = c.typing ? SubmitFileDialog(L"Open", text) : ChooseAllInFileDialog(L"Open");
        ASSERT_NE(nullptr, open);
        ASSERT_TRUE(WaitFor([open] { return !::IsWindow(open); }, kLongJobMs))
            << "the dialog did not take the selection";
        const auto closed = std::chrono::steady_clock::now();
        ASSERT_TRUE(driver.Sync(kLongJobMs));
        const std::chrono::duration<double> fill = std::chrono::steady_clock::now() - closed;
        EXPECT_EQ(blocks, driver.ListItems());
        EXPECT_EQ(dir.Path(), ListDir(driver));
        std::printf("%zu names, %zu characters: the list filled in %.2f s\n", blocks.size(),
                    text.size(), fill.count());
    }
}

// A result name typed without an extension is taken as it was typed (not
// given the filter's "*"), and the merge writes that very file.
TEST(Browse, ResultNameTypedWithoutAnExtensionIsTakenAsTyped)
{
    TempDir dir;
    WriteFiles(dir.Path(), {L"a.bin", L"b.bin"});
    MainDialogDriver driver;
    ASSERT_TRUE(BrowseMerge(driver, dir.Path(), L"\"a.bin\" \"b.bin\""));
    driver.Click(IDC_BROWSE_RESULT);
    ASSERT_TRUE(ShowFolderInFileDialog(L"Save As", dir.Path()));
    ASSERT_TRUE(AnswerFileDialog(L"Save As", L"joined"));
    ASSERT_TRUE(driver.Sync());
    ASSERT_EQ(dir / L"joined", driver.Text(IDC_RESULT_FILE));
    EXPECT_EQ(kMerged, RunJob(driver, IDC_MERGE));
    EXPECT_TRUE(FileExists(dir / L"joined"));
}

// In a drive's root the directory text already ends in a backslash, and the
// multiple form adds another; the joined paths still name the files. The
// files, named for this run, go into the root of the temp directory's drive.
TEST(Browse, MergeSelectionInADriveRoot)
{
    TempDir dir;
    const std::wstring root = dir.Path().substr(0, 3);
    const std::wstring run = L"kestrane-" + std::to_wstring(::GetCurrentProcessId());
    const Names names = {run + L"-a.bin", run + L"-b.bin"};
    struct Cleanup {
        const std::wstring& root;
        const Names& names;
        ~Cleanup()
        {
            for (const std::wstring& name : names)
                ::DeleteFileW((root + name).c_str());
        }
    } cleanup{root, names};
    WriteFiles(root, names);
    ASSERT_TRUE(FileExists(root + names[1])) << "can't write in " << Narrow(root);
    MainDialogDriver driver;
    ASSERT_TRUE(BrowseMerge(driver, root, L"\"" + names[1] + L"\" \"" + names[0] + L"\""));
    EXPECT_EQ(names, driver.ListItems());
    const std::wstring listDir = ListDir(driver);
    EXPECT_EQ(root + L"\\", listDir);
    for (const std::wstring& name : driver.ListItems()) {
        SCOPED_TRACE(Narrow(listDir + name));
        EXPECT_TRUE(FileExists(listDir + name));
        EXPECT_EQ(ReadBytes(root + name), ReadBytes(listDir + name));
    }

    // One file: the path's own last backslash, once.
    ASSERT_TRUE(BrowseMerge(driver, root, names[1]));
    EXPECT_EQ((Names{names[1]}), driver.ListItems());
    EXPECT_EQ(root, ListDir(driver));
}

TEST(Browse, CancelChangesNothing)
{
    TempDir dir;
    WriteFiles(dir.Path(), {L"a.bin", L"b.bin"});
    MainDialogDriver driver;
    driver.Click(IDC_BROWSE_SOURCE);
    ASSERT_TRUE(AnswerFileDialog(L"Open", dir / L"a.bin"));
    driver.Click(IDC_BROWSE_RESULT);
    ASSERT_TRUE(AnswerFileDialog(L"Save As", dir / L"out.bin"));
    ASSERT_TRUE(BrowseMerge(driver, dir.Path(), L"\"b.bin\" \"a.bin\""));
    driver.SendToItem(IDC_MERGE_LIST, LB_SETCURSEL, 1);
    for (int button : {IDC_BROWSE_SOURCE, IDC_BROWSE_MERGE, IDC_BROWSE_RESULT}) {
        SCOPED_TRACE(button);
        driver.Click(button);
        ASSERT_TRUE(CancelFileDialog(button == IDC_BROWSE_RESULT ? L"Save As" : L"Open"));
        ASSERT_TRUE(driver.Sync());
        EXPECT_EQ(dir / L"a.bin", driver.Text(IDC_SOURCE_FILE));
        EXPECT_EQ(dir / L"out.bin", driver.Text(IDC_RESULT_FILE));
        EXPECT_EQ((Names{L"a.bin", L"b.bin"}), driver.ListItems());
        EXPECT_EQ(1, driver.ListSelection());
        EXPECT_EQ(dir.Path(), ListDir(driver));
    }
}

// Windows' dialogs hand over a path of MAX_PATH characters or more (deep in
// a folder tree, on a share) when the buffer has room for it, and fail with
// FNERR_BUFFERTOOSMALL when it has not. Wine's own dialog can't be given such
// a path: a stand-in answers as Windows' does.
class LongPathDialogs : public CMainDlg {
public:
    std::wstring m_chosen;
    BOOL RunFileDialog(CFileDialog& dialog, DWORD& error) override
    {
        OPENFILENAMEW& ofn = dialog.m_ofn;
        error = m_chosen.size() < ofn.nMaxFile ? 0 : FNERR_BUFFERTOOSMALL;
        if (error == 0) {
            std::copy(m_chosen.c_str(), m_chosen.c_str() + m_chosen.size() + 1, ofn.lpstrFile);
            ofn.nFileOffset = static_cast<WORD>(m_chosen.rfind(L'\\') + 1);
        }
        return error == 0;
    }
};

TEST(Browse, PathsPastMaxPathReachTheEditsAndTheJobsWhole)
{
    TempDir dir;
    const std::wstring folder = dir.Path() + std::wstring(290 - dir.Path().size(), L'd') + L"\\";
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring source = folder + L"source.bin", result = folder + L"result.bin";
    const std::wstring tooLong = folder + std::wstring(33000, L'x');
    WriteBytes(source, MakeBytes(3000, 5));
    auto dialogs = std::make_unique<LongPathDialogs>();
    LongPathDialogs& chooser = *dialogs;
    MainDialogDriver driver(std::move(dialogs));
    const struct {
        int button, edit;
        std::wstring chosen, shown;
    } rows[] = {
        {IDC_BROWSE_SOURCE, IDC_SOURCE_FILE, source, source},
        {IDC_BROWSE_RESULT, IDC_RESULT_FILE, result, result},
        {IDC_BROWSE_SOURCE, IDC_SOURCE_FILE, tooLong, source},
        {IDC_BROWSE_RESULT, IDC_RESULT_FILE, tooLong, result},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(Format("button %d, %zu characters", row.button, row.chosen.size()));
        chooser.m_chosen = row.chosen;
        if (row.chosen == tooLong) {
            ExpectRefusal(driver, row.button, L"The path of the chosen file is too long!");
        } else {
            driver.Click(row.button);
            ASSERT_TRUE(driver.Sync());
        }
        EXPECT_EQ(row.shown, driver.Text(row.edit));
    }
    // Cut beside the long source and merged back into the long result.
    driver.SetText(IDC_BLOCK_SIZE, L"1");
    driver.Click(IDC_KBYTE);
    EXPECT_EQ(kSeparated, RunJob(driver, IDC_SEPARATE));
    EXPECT_EQ(kMerged, RunJob(driver, IDC_MERGE));
    EXPECT_TRUE(SameFiles(source, result));
}

// Files dropped on a part of the window fill its input as that part's browse
// would; what the part can't take is refused with a word and changes nothing.
TEST(Browse, DroppedFilesFillThePartTheyLandOn)
{
    TempDir dir, other;
    WriteFiles(dir.Path(), {L"one.bin", L"b.bin", L"A.bin", L"x10.bin", L"x9.bin", L"old.bin"});
    WriteFiles(other.Path(), {L"z.bin"});
    const std::wstring one = dir / L"one.bin", old = dir / L"old.bin", sub = dir / L"sub";
    ASSERT_TRUE(::CreateDirectoryW(sub.c_str(), nullptr));
    const std::wstring replace = L"old.bin already exists.\nDo you want to replace it?";
    const struct {
        const char* what;
        int at;  // the control the drop lands on
        Names dropped;
        int fills;     // the input that takes the first path, or the list; 0: none
        Names listed;  // the list then
        int answer;    // 0: no box; IDOK: an error; IDYES, IDNO: the question
        const std::wstring* text;
    } cases[] = {
        {"one file on the source", IDC_SOURCE_FILE, {one}, IDC_SOURCE_FILE, {}, 0, nullptr},
        {"one file on its Browse", IDC_BROWSE_SOURCE, {old}, IDC_SOURCE_FILE, {}, 0, nullptr},
        {"330 characters on the block size", IDC_BLOCK_SIZE,
         {dir / (std::wstring(290, L'd') + L".bin")}, IDC_SOURCE_FILE, {}, 0, nullptr},
        {"files on the list", IDC_MERGE_LIST, {dir / L"b.bin", one, dir / L"A.bin"},
         IDC_MERGE_LIST, {L"A.bin", L"b.bin", L"one.bin"}, 0, nullptr},
        {"files on Up", IDC_UP, {dir / L"x10.bin", dir / L"x9.bin"}, IDC_MERGE_LIST,
         {L"x9.bin", L"x10.bin"}, 0, nullptr},
        {"a new result", IDC_RESULT_FILE, {dir / L"new"}, IDC_RESULT_FILE, {}, 0, nullptr},
        {"an existing result, No", IDC_BROWSE_RESULT, {old}, 0, {}, IDNO, &replace},
        {"an existing result, Yes", IDC_RESULT_FILE, {old}, IDC_RESULT_FILE, {}, IDYES, &replace},
        {"two folders", IDC_MERGE_LIST, {one, other / L"z.bin"}, 0, {}, IDOK, &kDropOneFolder},
        {"a folder on the list", IDC_DOWN, {one, sub}, 0, {}, IDOK, &kDropNoFolders},
        {"two files on the source", IDC_SOURCE_FILE, {one, old}, 0, {}, IDOK, &kDropOneSource},
        {"a folder on the result", IDC_RESULT_FILE, {sub}, 0, {}, IDOK, &kDropOneResult},
        {"a file on the bar", IDC_PROGRESS, {one}, 0, {}, 0, nullptr},
    };
    MainDialogDriver driver;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::wstring source = driver.Text(IDC_SOURCE_FILE), result = driver.Text(IDC_RESULT_FILE);
        Names listed = driver.ListItems();
        std::wstring listDir = ListDir(driver);
        const HGLOBAL drop = DropFiles(driver, c.at, c.dropped);
        const auto letGo = [drop] { return ::GlobalSize(drop) == 0; };
        if (c.answer != 0) {
            const ShownBox box = WaitForBox(
                c.answer == IDOK ? kErrorCaption : kConfirmSaveAsCaption, kDeadlineMs, letGo);
            ASSERT_TRUE(box);
            EXPECT_EQ(*c.text, box.text);
            ASSERT_TRUE(PressButton(box.window, c.answer));
        }
        ASSERT_TRUE(driver.Sync());
        EXPECT_TRUE(letGo()) << "the drop was not let go";
        if (c.fills == IDC_SOURCE_FILE)
            source = c.dropped[0];
        else if (c.fills == IDC_RESULT_FILE)
            result = c.dropped[0];
        else if (c.fills == IDC_MERGE_LIST)
            listed = c.listed, listDir = dir.Path();
        EXPECT_EQ(source, driver.Text(IDC_SOURCE_FILE));
        EXPECT_EQ(result, driver.Text(IDC_RESULT_FILE));
        EXPECT_EQ(listed, driver.ListItems());
        EXPECT_EQ(listDir, ListDir(driver));
    }
}

TEST(MergeList, UpAndDownMoveTheSelectedItemByOne)
{
    MainDialogDriver driver;
    int step = 0;
    const auto click = [&](int button, const Names& items, int selection) {
        SCOPED_TRACE("click #" + std::to_string(++step));
        driver.Click(button);
        ASSERT_TRUE(driver.Sync());
        EXPECT_EQ(items, driver.ListItems());
        EXPECT_EQ(selection, driver.ListSelection());
    };
    // Inserted at the end, so out of sorted order on purpose.
    for (const wchar_t* name : {L"one", L"two", L"three"})
        driver.SendToItem(IDC_MERGE_LIST, LB_INSERTSTRING, static_cast<WPARAM>(-1),
                          reinterpret_cast<LPARAM>(name));
    const Names start = {L"one", L"two", L"three"};
    // Nothing selected: nothing moves.
    click(IDC_UP, start, LB_ERR);
    click(IDC_DOWN, start, LB_ERR);
    driver.SendToItem(IDC_MERGE_LIST, LB_SETCURSEL, 0);
    click(IDC_UP, start, 0);  // at the top
    click(IDC_DOWN, {L"two", L"one", L"three"}, 1);
    click(IDC_DOWN, {L"two", L"three", L"one"}, 2);
    click(IDC_DOWN, {L"two", L"three", L"one"}, 2);  // at the bottom
    click(IDC_UP, {L"two", L"one", L"three"}, 1);
    click(IDC_UP, start, 0);

    // A list of one: neither way.
    driver.SendToItem(IDC_MERGE_LIST, LB_RESETCONTENT);
    driver.SendToItem(IDC_MERGE_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"only"));
    driver.SendToItem(IDC_MERGE_LIST, LB_SETCURSEL, 0);
    click(IDC_UP, {L"only"}, 0);
    click(IDC_DOWN, {L"only"}, 0);
}

// Each WM_ADD_MERGE_ITEM moves the first waiting name to the end of the list,
// whatever its sorting would say. However many come queued, the selection
// moves once, and the newest is drawn selected before the next message.
TEST(MergeList, HandedOverNamesAreAppendedAndTheNewestShown)
{
    MainDialogDriver driver;
    CMainDlg& dialog = driver.Object();
    Names expected = {L"m.bin", L"z.bin"};
    for (const std::wstring& name : expected)
        driver.SendToItem(IDC_MERGE_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));

    const struct {
        const char* how;
        Names names;
    } batches[] = {
        {"one name", {L"f_00001.dat"}},
        {"one more, which sorting would put first", {L"A_first.dat"}},
        {"three queued behind each other", {L"f_00002.dat", L"f_00003.dat", L"B.dat"}},
        {"forty queued: the list scrolls", BlockNames(L"g", L".dat", 40)},
    };
    for (const auto& batch : batches) {
        SCOPED_TRACE(batch.how);
        // As the job does: each name appended, and its message posted, under the lock.
        SentToItemCounter selections(driver, IDC_MERGE_LIST, LB_SETCURSEL);
        PaintWaitProbe paint(driver, IDC_MERGE_LIST);
        ASSERT_TRUE(driver.Hold());
        for (const std::wstring& name : batch.names) {
            CLock lock(dialog.m_lock);
            dialog.m_fileList.push_back(name);
            driver.Post(WM_ADD_MERGE_ITEM);
        }
        // What a job would post next.
        driver.Post(WM_NULL);
        driver.Release();
        ASSERT_TRUE(driver.Sync());
        EXPECT_EQ(1, selections.Count());
        ASSERT_TRUE(paint.Looked());
        EXPECT_FALSE(paint.Waited()) << "the list waits for a paint that a busy queue puts off";
        expected.insert(expected.end(), batch.names.begin(), batch.names.end());
        ExpectNewestListed(driver, expected);
        CLock lock(dialog.m_lock);
        EXPECT_TRUE(dialog.m_fileList.empty());
    }

    // Nothing waiting: nothing changes, the selection neither.
    driver.SendToItem(IDC_MERGE_LIST, LB_SETCURSEL, 1);
    driver.Post(WM_ADD_MERGE_ITEM);
    driver.Post(WM_ADD_MERGE_ITEM, 1, 2);
    ASSERT_TRUE(driver.Sync());
    EXPECT_EQ(expected, driver.ListItems());
    EXPECT_EQ(1, driver.ListSelection());
}

// While a separation waits for its success box to be dismissed the job still
// runs: every browse, drop, Up and Down is ignored without a word.
TEST(Browse, RefusedWhileAJobRuns)
{
    TempDir dir;
    WriteBytes(dir / L"src.bin", MakeBytes(3000, 7));
    WriteFiles(dir.Path(), {L"x.bin"});
    MainDialogDriver driver;
    driver.ChooseSeparation(dir / L"src.bin", L"1", IDC_KBYTE);
    driver.Click(IDC_SEPARATE);
    const ShownBox notice = WaitForBox(kNoticeCaption);
    ASSERT_TRUE(notice) << "the separation did not finish";
    ASSERT_TRUE(driver.Sync());
    ASSERT_TRUE(driver.Object().IsJobRunning());
    const Names blocks = BlockNames(L"src", L".bin", 3);
    ASSERT_EQ(blocks, driver.ListItems());
    driver.SendToItem(IDC_MERGE_LIST, LB_SETCURSEL, 1);
    for (int button : {IDC_BROWSE_SOURCE, IDC_BROWSE_MERGE, IDC_BROWSE_RESULT, IDC_UP, IDC_DOWN})
        driver.Click(button);
    const HGLOBAL drops[] = {DropFiles(driver, IDC_SOURCE_FILE, {dir / L"x.bin"}),
                             DropFiles(driver, IDC_MERGE_LIST, {dir / L"x.bin"})};
    ASSERT_TRUE(driver.Sync());
    EXPECT_FALSE(CancelFileDialogs());
    EXPECT_EQ(0u, ::GlobalSize(drops[0]) + ::GlobalSize(drops[1])) << "a drop was not let go";
    EXPECT_EQ(blocks, driver.ListItems());
    EXPECT_EQ(1, driver.ListSelection());
    EXPECT_EQ(dir / L"src.bin", driver.Text(IDC_SOURCE_FILE));
    EXPECT_EQ(L"", driver.Text(IDC_RESULT_FILE));
    EXPECT_EQ(dir.Path(), ListDir(driver));

    // Once the box is gone the job ends, and the same clicks work again.
    ASSERT_TRUE(DismissBox(notice.window));
    ASSERT_TRUE(driver.WaitIdle());
    driver.Click(IDC_UP);
    ASSERT_TRUE(driver.Sync());
    EXPECT_EQ((Names{L"src_00001.bin", L"src_00000.bin", L"src_00002.bin"}), driver.ListItems());
    ASSERT_TRUE(BrowseMerge(driver, dir.Path(), L"x.bin"));
    EXPECT_EQ((Names{L"x.bin"}), driver.ListItems());
}
