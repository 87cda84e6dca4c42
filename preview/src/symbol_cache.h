// Symbols already encoded, by everything that decides their dots. A label previewed as it is
// typed draws the same barcodes and symbols again and again, and encoding them is the costliest
// part of drawing a label; the cache is shared by every job of the process, bounded, and safe to
// use from the virtual printer's threads.
#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "symbols.h"

namespace eplview {

// One key from the parts that decide a symbol: each text with its length, each number as text.
class SymbolKey {
   public:
    SymbolKey& operator<<(std::string_view text) {
        key_ += std::to_string(text.size());
        key_ += ':';
        key_ += text;
        return *this;
    }
    SymbolKey& operator<<(int number) {
        key_ += std::to_string(number);
        key_ += ',';
        return *this;
    }
    [[nodiscard]] const std::string& text() const noexcept { return key_; }

   private:
    std::string key_;
};

// Past this many symbols the cache starts afresh: a bound on memory, whatever a stream holds.
inline constexpr std::size_t max_cached_symbols = 512;

template <class Encode>
Symbol cached_symbol(const SymbolKey& key, Encode encode) {
    static std::mutex mutex;
    static std::unordered_map<std::string, Symbol> cache;
    {
        const std::lock_guard lock(mutex);
        if (const auto it = cache.find(key.text()); it != cache.end()) return it->second;
    }
    Symbol symbol = encode();
    const std::lock_guard lock(mutex);
    if (cache.size() >= max_cached_symbols) cache.clear();
    cache.emplace(key.text(), symbol);
    return symbol;
}

}  // namespace eplview
