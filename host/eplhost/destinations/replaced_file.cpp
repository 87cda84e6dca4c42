#include <filesystem>

#include "destinations/destination.h"
#include "os.h"

namespace epl2::eplhost {

namespace {

// The job goes to a temporary file beside the target, which replaces it only once the whole
// job is on the disk. Until then the target keeps what it held, and a job that fails leaves no
// temporary file behind.
class ReplacedFile final : public Destination {
   public:
    explicit ReplacedFile(const Target& target);
    ~ReplacedFile() override { abandon(); }
    ReplacedFile(const ReplacedFile&) = delete;
    ReplacedFile& operator=(const ReplacedFile&) = delete;

    void put(std::string_view block) override {
        if (std::string problem = write_all(file_, block); !problem.empty()) refuse(problem);
    }
    void finish() override;

   private:
    [[noreturn]] void refuse(const std::string& problem) {
        const std::string message = "writing " + temporary_.string() + " failed (" + problem +
                                    "); it was removed and " + target_.path + " left as it was";
        abandon();
        output_error(target_, message);
    }
    void abandon() noexcept {
        if (file_ != nullptr) close_file(file_);
        if (!temporary_.empty()) {
            std::error_code ignored;
            std::filesystem::remove(temporary_, ignored);
            temporary_.clear();
        }
    }

    const Target& target_;
    std::filesystem::path temporary_;
    std::FILE* file_ = nullptr;
};

ReplacedFile::ReplacedFile(const Target& target) : target_(target) {
    namespace fs = std::filesystem;
    const fs::path final_path(target.path);
    if (final_path.has_parent_path()) {
        std::error_code error;
        fs::create_directories(final_path.parent_path(), error);
        if (error)
            output_error(target, "cannot create the folder " + final_path.parent_path().string() +
                                     ": " + error.message());
    }
    fs::path temporary;
    file_ = os::create_temporary_file(final_path.string() + ".tmp-", temporary);
    if (file_ == nullptr)
        output_error(target, "cannot create " + temporary.string() + " (" + system_error_text() +
                                 "); nothing was written");
    temporary_ = temporary;
}

void ReplacedFile::finish() {
    std::string problem = os::commit_to_disk(file_) ? std::string() : system_error_text();
    if (std::string closed = close_file(file_); problem.empty()) problem = closed;
    if (!problem.empty()) refuse(problem);
    std::error_code error;
    std::filesystem::rename(temporary_, target_.path, error);
    if (error) {
        abandon();
        output_error(target_, "cannot move the job into place: " + error.message());
    }
    temporary_.clear();
}

}  // namespace

std::unique_ptr<Destination> open_replaced_file(const Target& target) {
    return std::make_unique<ReplacedFile>(target);
}

}  // namespace epl2::eplhost
