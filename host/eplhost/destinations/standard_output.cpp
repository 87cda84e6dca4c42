#include "destinations/destination.h"

namespace epl2::eplhost {

namespace {

class StandardOutput final : public Destination {
   public:
    StandardOutput(const Target& target, std::ostream& out) : target_(target), out_(out) {}
    void put(std::string_view block) override {
        out_.write(block.data(), static_cast<std::streamsize>(block.size()));
        if (!out_) output_error(target_, "writing failed");
    }
    void finish() override {
        out_.flush();
        if (!out_) output_error(target_, "writing failed");
    }

   private:
    const Target& target_;
    std::ostream& out_;
};

}  // namespace

std::unique_ptr<Destination> open_standard_output(const Target& target, std::ostream& out) {
    return std::make_unique<StandardOutput>(target, out);
}

}  // namespace epl2::eplhost
