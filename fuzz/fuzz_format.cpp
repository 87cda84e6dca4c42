// The command-line formatter: any template and arguments, into buffers of every size, never
// writes outside its buffer, always reports the full length, and a cut line is a prefix of the
// whole one.
//
// Input: the buffer's size, a number, a character, then the template and a NUL before the text.
#include <algorithm>
#include <initializer_list>
#include <span>
#include <vector>

#include "core/format.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using epl2::fuzz::require;
    epl2::fuzz::ByteReader in(data, size);
    const std::size_t capacity = in.byte();
    const std::uint32_t number = in.u32();
    const char character = static_cast<char>(in.byte());
    const std::string_view rest = in.rest();
    const std::string_view templ = epl2::fuzz::host_string(rest);
    const std::string_view text = rest.substr(std::min(rest.size(), templ.size() + 1));
    const std::initializer_list<epl2::FormatArg> args{static_cast<std::int32_t>(number), text,
                                                      character, number, text};

    std::vector<char> buffer(capacity);
    epl2::BoundedWriter writer(buffer);
    const std::size_t needed = epl2::format_to(writer, templ, args);
    std::vector<char> whole(needed + 1);
    require(epl2::format_to(std::span<char>(whole), templ, args) == needed,
            "the full length whatever the buffer");
    if (capacity == 0) return 0;
    const std::size_t stored = writer.written();
    require(stored < capacity && buffer[stored] == '\0', "a NUL ends the line inside the buffer");
    require(std::string_view(buffer.data(), stored) == std::string_view(whole.data(), stored) &&
                (stored == needed || needed >= capacity),
            "a line is whole when it fits, else a prefix of the whole");
    return 0;
}
