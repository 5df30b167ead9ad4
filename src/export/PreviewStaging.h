#pragma once
// Where a preview of the export (a dry run) lets the steps write: a fresh folder under the system's
// temporary folder, outside Velmora's working folder, removed with everything in it when the preview
// ends, however it ends. The working folder sees no file, lock or journal of the preview.

#include <filesystem>

namespace pontrel::exporting {

class PreviewStaging {
  public:
    // Fails with a Spanish message when no folder can be made in the temporary folder.
    PreviewStaging();
    ~PreviewStaging();
    PreviewStaging(const PreviewStaging&) = delete;
    PreviewStaging& operator=(const PreviewStaging&) = delete;

    const std::filesystem::path& folder() const { return folder_; }

  private:
    std::filesystem::path folder_;
};

} // namespace pontrel::exporting
