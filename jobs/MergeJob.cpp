// The merge job: writes the files of m_fileList, all in m_strListDir, end to
// end and in list order into the result file m_strJobPath.
#include <memory>
#include <new>

#include "app/Handles.h"
#include "app/MessageBoxes.h"
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

    // Sizing pass: a file that can't be opened counts nothing here.
    uint64_t total = 0;
    for (const CString& name : m_fileList) {
        if (CancelRequested())
            return 0;
        total += ChunkCount(GetFileSize64(m_strListDir + name, INVALID_HANDLE_VALUE));
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
        const CopyResult copied = CopyChunks(source, result, GetFileSize64(path, source),
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
