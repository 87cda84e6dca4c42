#include "destinations/destination.h"
#include "os.h"

namespace epl2::eplhost {

namespace {

// A temporary file renamed over a device would replace the device node with a plain file: a
// device takes the job as it is written.
class Device final : public Destination {
   public:
    explicit Device(const Target& target)
        : target_(target), file_(os::open_for_writing(target.path)) {
        if (file_ == nullptr) output_error(target, "cannot open it (" + system_error_text() + ")");
    }
    ~Device() override {
        if (file_ != nullptr) std::fclose(file_);
    }
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    void put(std::string_view block) override {
        if (std::string problem = write_all(file_, block); !problem.empty()) {
            close_file(file_);
            output_error(target_, "writing failed (" + problem + ")");
        }
    }
    void finish() override {
        if (std::string problem = close_file(file_); !problem.empty())
            output_error(target_, "writing failed (" + problem + ")");
    }

   private:
    const Target& target_;
    std::FILE* file_;
};

}  // namespace

std::unique_ptr<Destination> open_device(const Target& target) {
    return std::make_unique<Device>(target);
}

}  // namespace epl2::eplhost
