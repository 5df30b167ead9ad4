#pragma once
// Where a preview of the export (a dry run) lets the steps write: a fresh folder under the system's
// temporary folder, outside Velmora's working folder, removed with everything in it when the preview
// ends, however it ends. The working folder sees no file or journal of the preview.
//
// Each preview folder "pontrel-vista-N" has a lock file "pontrel-vista-N.bloqueo" beside it, held for
// as long as the preview lives; the system drops the lock when its holder ends, even when it is killed.
// A preview's folder whose lock is free was left by a preview that was killed: every preview removes
// such folders when it starts, and never one that a running preview holds.

#include "platform/FolderLock.h"

#include <filesystem>

namespace pontrel::exporting {

class PreviewStaging {
  public:
    // Removes the folders that killed previews left, then makes this preview's. Fails with a Spanish
    // message when no folder can be made in the temporary folder.
    PreviewStaging();
    ~PreviewStaging();
    PreviewStaging(const PreviewStaging&) = delete;
    PreviewStaging& operator=(const PreviewStaging&) = delete;

    const std::filesystem::path& folder() const { return folder_; }

  private:
    std::filesystem::path folder_;
    platform::FileLock lock_;
};

// The folders of killed previews in `base` (with their lock files), removed; running previews' stay.
void removeStalePreviewFolders(const std::filesystem::path& base);

} // namespace pontrel::exporting
