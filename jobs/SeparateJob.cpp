// The separate job: cuts the source into consecutive block files of
// m_nBlockSize bytes beside it and hands each finished block's name over.
#include <memory>
#include <new>

#include "app/Handles.h"
#include "app/MessageBoxes.h"
#include "jobs/BlockName.h"
#include "jobs/JobControl.h"
#include "jobs/JobFiles.h"
#include "jobs/Progress.h"
#include "jobs/WorkerMessages.h"
#include "res/resource.h"

int CJobControl::RunSeparateJob()
{
    CHandle source(OpenForReading(m_strJobPath));
    if (!source.IsValid()) {
        ShowError(IDS_OPEN_SOURCE_FAILED, nullptr, JOB_BOX_STYLE);
        return 0;
    }
    const uint64_t size = GetFileSize64(source);
    if (size == 0)
        return 0;

    const BlockNameParts parts = SplitSourcePath(m_strJobPath);
    std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[TRANSFER_CHUNK]);
    if (!buffer) {
        source.Close();
        ShowError(IDS_SEPARATE_FAILED, nullptr, JOB_BOX_STYLE);
        return 0;
    }

    const uint64_t blockSize = static_cast<uint64_t>(m_nBlockSize);
    const uint64_t fullBlocks = (size - 1) / blockSize;
    const uint64_t lastSize = size - fullBlocks * blockSize;
    CProgress progress(*this);
    progress.PostRange(fullBlocks * ChunkCount(blockSize) + ChunkCount(lastSize));

    UINT failure = 0;
    bool cancelled = false;
    for (uint64_t n = 0; n <= fullBlocks; ++n) {
        if (CancelRequested()) {
            cancelled = true;
            break;
        }
        const CString name = BlockFileName(parts, n);
        CHandle block(CreateOrTruncate(name));
        if (!block.IsValid()) {
            failure = IDS_OPEN_BLOCK_FAILED;
            break;
        }
        const CopyResult copied = CopyChunks(source, block, n < fullBlocks ? blockSize : lastSize,
                                             buffer.get(), progress);
        if (!TakeCopyResult(copied, IDS_READ_SOURCE_FAILED, IDS_WRITE_BLOCK_FAILED, failure,
                            cancelled))
            break;
        // A block whose close fails may lack its last bytes: not handed over.
        if (!CloseWritten(block)) {
            failure = IDS_WRITE_BLOCK_FAILED;
            break;
        }

        // Handed over under the lock (WorkerMessages.h).
        CLock lock(m_lock);
        m_fileList.push_back(BareName(name));
        PostToWindow(WM_ADD_MERGE_ITEM, 0, 0);
    }

    source.Close();
    buffer.reset();
    return FinishJob(WM_SEPARATE_END, IDS_SEPARATE_DONE, failure, cancelled);
}
