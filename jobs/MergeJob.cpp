// The merge job: writes the files of m_fileList, all in m_strListDir, end to
// end and in list order into the result file m_strJobPath.
#include <memory>
#include <new>
#include <optional>
#include <vector>

#include "app/Handles.h"
#include "app/MessageBoxes.h"
#include "jobs/BlockList.h"
#include "jobs/JobControl.h"
#include "jobs/JobFiles.h"
#include "jobs/Progress.h"
#include "jobs/WorkerMessages.h"
#include "res/resource.h"

int CJobControl::RunMergeJob()
{
    // Truncating the result must never destroy one of the files to merge.
    // A file whose identity can't be read is still known by its path.
    if (PathExists(m_strJobPath)) {
        const FileIdentity resultId = IdentifyFile(m_strJobPath);
        for (const CString& name : m_fileList) {
            if (IdentifyFile(m_strListDir + name).IsSameFile(resultId)) {
                ShowError(IDS_RESULT_IS_SOURCE, nullptr, JOB_BOX_STYLE);
                return 0;
            }
        }
    }

    // Sizing pass: one open of each file gives its size, or tells that it
    // can't be opened (it counts nothing here; the merge pass stops at it).
    std::vector<std::optional<uint64_t>> sizes;
    uint64_t total = 0;
    for (const CString& name : m_fileList) {
        if (CancelRequested())
            return 0;
        sizes.push_back(GetReadableFileSize(m_strListDir + name));
        total += ChunkCount(sizes.back().value_or(0));
    }

    // Blocks of a separation picked by hand (the source taken with them, old
    // blocks, a gap, a block twice or cut short) would merge into a wrong
    // file: the user is asked before anything is written.
    const BlockListProblem problem = FindBlockListProblem(
        m_fileList, sizes, [this](const CString& name) { return PathExists(m_strListDir + name); });
    if (problem.textId != 0 && !AskUser(FormatText(problem.textId, problem.name, problem.pattern)))
        return 0;
    // A cancel asked meanwhile (the window waits while the question is open)
    // leaves the result as it was.
    if (CancelRequested())
        return 0;

    CHandle result(CreateOrTruncate(m_strJobPath));
    if (!result.IsValid()) {
        ShowError(IDS_OPEN_RESULT_FAILED, nullptr, JOB_BOX_STYLE);
        return 0;
    }
    std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[TRANSFER_CHUNK]);
    if (!buffer) {
        result.Close();
        ShowError(IDS_MERGE_FAILED, nullptr, JOB_BOX_STYLE);
        return 0;
    }
    CProgress progress(*this);
    progress.PostRange(total);

    UINT failure = 0;
    bool cancelled = false;
    for (const CString& name : m_fileList) {
        if (CancelRequested()) {
            cancelled = true;
            break;
        }
        const CString path = m_strListDir + name;
        CHandle source(OpenForReading(path));
        if (!source.IsValid()) {
            failure = IDS_OPEN_MERGED_FAILED;
            break;
        }
        const CopyResult copied = CopyChunks(source, result, GetFileSize64(source),
                                             buffer.get(), progress);
        if (!TakeCopyResult(copied, IDS_READ_MERGED_FAILED, IDS_WRITE_RESULT_FAILED, failure,
                            cancelled))
            break;
    }

    // A result whose close fails may lack its last bytes: no success then.
    if (!CloseWritten(result) && failure == 0 && !cancelled)
        failure = IDS_WRITE_RESULT_FAILED;
    buffer.reset();
    return FinishJob(WM_MERGE_END, IDS_MERGE_DONE, failure, cancelled);
}
