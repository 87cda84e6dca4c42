#include "core/job.h"

namespace epl2 {

bool Job::send_line(std::string_view templ, std::initializer_list<FormatArg> args) const noexcept {
    auto buffer = record_.bytes(record::line_buffer);
    std::span<char> line(reinterpret_cast<char*>(buffer.data()), buffer.size());
    BoundedWriter writer(line);
    format_to(writer, templ, args);
    if (!writer.complete()) {
        line[0] = '\0';
        return false;
    }
    send(line.data(), -1);
    return true;
}

bool Job::send_line_crlf(std::string_view templ,
                         std::initializer_list<FormatArg> args) const noexcept {
    if (!send_line(templ, args)) return false;
    send_crlf();
    return true;
}

}  // namespace epl2
