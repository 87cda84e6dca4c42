// The command-line formatter: any template and arguments, into buffers of every size, never
// writes outside its buffer and always reports the full length.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "core/format.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 6) return 0;
    const std::size_t capacity = data[0];
    std::int32_t number;
    std::memcpy(&number, data + 1, 4);
    const char character = static_cast<char>(data[5]);
    std::string_view rest(reinterpret_cast<const char*>(data + 6), size - 6);
    const std::size_t split = rest.find('\0');
    const std::string_view templ = rest.substr(0, split);
    const std::string_view text =
        split == std::string_view::npos ? std::string_view{} : rest.substr(split + 1);

    std::vector<char> buffer(capacity);
    epl2::BoundedWriter writer(std::span<char>(buffer.data(), buffer.size()));
    const std::size_t needed =
        epl2::format_to(writer, templ, {number, text, character, std::uint32_t(number), text});
    std::vector<char> big(needed + 1);
    const std::size_t again =
        epl2::format_to(std::span<char>(big.data(), big.size()), templ,
                        {number, text, character, std::uint32_t(number), text});
    if (again != needed) __builtin_trap();
    if (capacity > 0) {
        // The cut text is a prefix of the whole.
        const std::size_t stored = writer.written();
        if (stored >= capacity || buffer[stored] != '\0') __builtin_trap();
        if (std::memcmp(buffer.data(), big.data(), stored) != 0) __builtin_trap();
        if (needed < capacity && stored != needed) __builtin_trap();
    }
    return 0;
}
