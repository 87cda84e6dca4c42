#include "model_table.h"

#include <cstring>

#include "core/bytes.h"

namespace epl2::host {

namespace {

constexpr std::uint32_t table_tag = 0xE801;
constexpr std::uint32_t record_tag = 0xE822;
constexpr std::size_t header_block_words = 8;
constexpr std::size_t numeric_block_words = 16;

class TableReader {
   public:
    explicit TableReader(std::span<const std::byte> table) : table_(table) {}

    [[nodiscard]] std::uint32_t word(std::size_t at, const char* what) const {
        if (at > table_.size() || table_.size() - at < 4) {
            throw ModelTableError("model table: " + std::string(what) + " at offset " +
                                  std::to_string(at) + " lies outside its " +
                                  std::to_string(table_.size()) + " bytes");
        }
        return load_le<std::uint32_t>(table_.data() + at);
    }
    [[nodiscard]] std::int32_t value(std::size_t at, const char* what) const {
        return static_cast<std::int32_t>(word(at, what));
    }
    [[nodiscard]] std::string text(std::size_t at, const char* what) const {
        if (at >= table_.size()) {
            throw ModelTableError("model table: " + std::string(what) + " at offset " +
                                  std::to_string(at) + " lies outside the table");
        }
        const void* nul = std::memchr(table_.data() + at, 0, table_.size() - at);
        if (nul == nullptr) {
            throw ModelTableError("model table: " + std::string(what) + " at offset " +
                                  std::to_string(at) + " has no terminator");
        }
        const auto* begin = reinterpret_cast<const char*>(table_.data() + at);
        return {begin, static_cast<const char*>(nul)};
    }

   private:
    std::span<const std::byte> table_;
};

ModelRecord read_record(const TableReader& t, std::size_t block, std::size_t k) {
    if (t.word(block + 4, "record tag") != record_tag) {
        throw ModelTableError("model table: record " + std::to_string(k) + " at offset " +
                              std::to_string(block) + " lacks its record tag");
    }
    (void)t.word(block + 4 * (numeric_block_words - 1), "record end");
    ModelRecord m;
    m.maker = t.text(t.word(block + 8, "maker reference"), "maker name");
    m.model = t.text(t.word(block + 12, "model reference"), "model name");
    m.model_index = t.value(block + 16, "model index");
    m.model_class = t.value(block + 20, "class");
    m.reduced_options = t.value(block + 24, "reduced_options");
    m.resolution_code = t.value(block + 28, "resolution_code");
    m.memory_code = t.value(block + 32, "memory_code");
    m.printer_type = t.value(block + 36, "printer_type");
    m.model_flags = t.word(block + 44, "model flags");
    return m;
}

}  // namespace

std::vector<ModelRecord> read_model_table(std::span<const std::byte> table) {
    std::vector<ModelRecord> records;
    if (table.empty()) return records;
    const TableReader t(table);
    const std::size_t header = t.word(0, "header reference");
    (void)t.word(header + 4 * (header_block_words - 1), "header block");
    if (t.word(header + 4, "header tag") != table_tag) {
        throw ModelTableError("model table: the header block at offset " + std::to_string(header) +
                              " lacks its tag");
    }
    const std::uint32_t count = t.word(header + 16, "record count");
    const std::size_t index = t.word(header + 20, "record index reference");
    // Each record needs at least its index word: a count the table cannot hold is not walked.
    if (count > table.size() / 4) {
        throw ModelTableError("model table: " + std::to_string(count) + " records cannot fit in " +
                              std::to_string(table.size()) + " bytes");
    }
    records.reserve(count);
    for (std::size_t k = 0; k < count; ++k) {
        records.push_back(read_record(t, t.word(index + 4 * k, "record index"), k));
    }
    return records;
}

std::vector<ModelRecord> read_model_table(const Module& module) {
    return read_model_table(module.model_table());
}

void fill_model_fields(RecordView record, const ModelRecord& model) {
    record.set(record::model_class, model.model_class);
    record.set(record::reduced_options, model.reduced_options);
    record.set(record::resolution_code, model.resolution_code);
    record.set(record::memory_code, model.memory_code);
    record.set(record::printer_type, model.printer_type);
}

void select_model(HostJob& job, const ModelRecord& model) {
    job.select_model(model.model_class, model.reduced_options, model.resolution_code,
                     model.memory_code, model.printer_type);
}

}  // namespace epl2::host
