// The program's message boxes, spelled exactly as it must show them, and waits
// for them so that a wrong box fails the test at once, saying what it showed.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "support/Windows.h"

// Captions.
inline const std::wstring kErrorCaption = L"Error";
inline const std::wstring kNoticeCaption = L"Notice";
inline const std::wstring kConfirmSaveAsCaption = L"Confirm Save As";
// A job's question, which has Yes and No (the window has the same caption).
inline const std::wstring kQuestionCaption = L"Kestrane";

// The commands' refusals.
inline const std::wstring kNoSource = L"You don't select file to separate!";
inline const std::wstring kBadBlockSize = L"The block size must be over 0!";
inline const std::wstring kBlockSizeTooBig = L"The block size must be less than 2048 M Byte!";
inline const std::wstring kNoResult = L"You don't set the merge result file!";
inline const std::wstring kNoMergeFiles = L"You don't select files to merge!";
inline const std::wstring kCantStartSeparate = L"Cann't do the separating operation!";
inline const std::wstring kCantStartMerge = L"Cann't do the merging operatioin!";
inline const std::wstring kDropOneSource = L"Drop one file here to separate it!";
inline const std::wstring kDropOneResult = L"Drop one file here to merge into it!";
inline const std::wstring kDropNoFolders = L"Drop files to merge, not folders!";
inline const std::wstring kDropOneFolder = L"The files to merge must be in one folder!";

// The jobs' failures.
inline const std::wstring kCantOpenSource = L"Can't open the file that will be separated!";
inline const std::wstring kCantOpenBlock = L"Fail to open or create the block files!";
inline const std::wstring kCantWriteBlock = L"Fail to write file!";
inline const std::wstring kCantOpenResult = L"Fail to open or create the merge result file!";
inline const std::wstring kResultIsListed =
    L"The merge result file can't be one of the files to merge!";
inline const std::wstring kCantOpenMerged = L"Can't open the file that will be merged!";
inline const std::wstring kCantWriteResult = L"Fail to write merge result file!";

// The jobs' successes.
inline const std::wstring kSeparated = L"Success to separate this file.";
inline const std::wstring kMerged = L"Success to merge all files.";

// A message box of the program as it was found.
struct ShownBox {
    HWND window = nullptr;
    std::wstring caption;
    std::wstring text;

    explicit operator bool() const { return window != nullptr; }
    // "Error" box: "the text"
    std::string Describe() const;
};

// The first message box or question that process processId (0: this one)
// shows now, whichever its caption; an empty one when there is none.
ShownBox FindBox(DWORD processId = 0);

// Waits until the program shows a box, or until gone() holds, or the
// deadline. A box of that caption is returned, left open; anything else is
// a failure that says what the program showed (another box is dismissed).
ShownBox WaitForBox(const std::wstring& caption, DWORD timeoutMs = kDeadlineMs,
                    const std::function<bool()>& gone = {}, DWORD processId = 0);

// WaitForBox, then the box's text, the box dismissed; empty if none came.
std::wstring TakeBox(const std::wstring& caption, DWORD timeoutMs = kDeadlineMs,
                     const std::function<bool()>& gone = {}, DWORD processId = 0);

// Dismisses every box and file dialog process processId (0: this one) still shows,
// each a failure ("left open"): a teardown waiting for a job a box holds calls it.
void DismissWhatWasLeftOpen(DWORD processId = 0);
