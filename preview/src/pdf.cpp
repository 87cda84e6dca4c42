// PDF output: a page for each label at its size on paper, painted black through the label's dots
// as a 1-bit image mask. The mask holds the bitmap's rows as they are (one bit a dot, set bits
// painting), deflate-compressed and marked not to be interpolated, so the page holds the label dot
// for dot at its own resolution. The file is written directly: cairo 1.16, the version Debian
// ships, clips every page whose size it is told after the first to whole points, which cuts up to
// three rows or columns of dots off a label.
#include <zlib.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "eplview/eplview.h"
#include "whole_file.h"

namespace eplview {
namespace {

constexpr double points_per_inch = 72;
// Page sizes are written in millionths of a point.
constexpr double steps_per_point = 1e6;
// Objects 1 and 2 are the catalogue and the page tree; each page takes three after them: the
// page, its content and its image.
constexpr int catalogue_object = 1;
constexpr int page_tree_object = 2;
constexpr int objects_per_page = 3;

// A side of the page in points: the largest millionth of a point below the exact size, so that a
// rasteriser which rounds the page up to whole pixels at the label's resolution finds exactly the
// label's dots. It is short by less than a millionth of a point.
std::string points(int dots, int dpi) {
    double steps = std::ceil(dots * points_per_inch / dpi * steps_per_point) - 1;
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", steps / steps_per_point);
    return text;
}

class PdfFile {
   public:
    PdfFile() { put("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n"); }

    bool page(const Bitmap& image, int dpi);
    std::vector<std::uint8_t> finish();

   private:
    void put(std::string_view text) { bytes_.insert(bytes_.end(), text.begin(), text.end()); }
    void begin(int object) {
        auto index = static_cast<std::size_t>(object - 1);
        if (offsets_.size() <= index) offsets_.resize(index + 1);
        offsets_[index] = bytes_.size();
        put(std::to_string(object) + " 0 obj\n");
    }
    void stream(int object, const std::string& dictionary, std::string_view data) {
        begin(object);
        std::string entries = dictionary.empty() ? "" : dictionary + " ";
        put("<< " + entries + "/Length " + std::to_string(data.size()) + " >>\nstream\n");
        put(data);
        put("\nendstream\nendobj\n");
    }

    std::vector<std::uint8_t> bytes_;
    std::vector<std::size_t> offsets_;  // of each object, by number - 1
    int pages_ = 0;
};

bool PdfFile::page(const Bitmap& image, int dpi) {
    const std::vector<std::uint8_t>& rows = image.packed();
    uLongf size = compressBound(static_cast<uLong>(rows.size()));
    std::string deflated(size, '\0');
    if (compress(reinterpret_cast<Bytef*>(deflated.data()), &size, rows.data(),
                 static_cast<uLong>(rows.size())) != Z_OK)
        return false;
    deflated.resize(size);
    int first = page_tree_object + 1 + objects_per_page * pages_++;
    std::string width = points(image.width(), dpi), height = points(image.height(), dpi);
    begin(first);
    put("<< /Type /Page /Parent " + std::to_string(page_tree_object) + " 0 R /MediaBox [0 0 " +
        width + " " + height + "] /Resources << /XObject << /Label " + std::to_string(first + 2) +
        " 0 R >> >> /Contents " + std::to_string(first + 1) + " 0 R >>\nendobj\n");
    stream(first + 1, "", "q 0 g " + width + " 0 0 " + height + " 0 0 cm /Label Do Q");
    // Decode [1 0]: a set bit paints, as a set bit of the bitmap is a black dot.
    stream(first + 2,
           "/Type /XObject /Subtype /Image /Width " + std::to_string(image.width()) + " /Height " +
               std::to_string(image.height()) +
               " /ImageMask true /BitsPerComponent 1 /Decode [1 0] /Interpolate false /Filter "
               "/FlateDecode",
           deflated);
    return true;
}

std::vector<std::uint8_t> PdfFile::finish() {
    std::string kids;
    for (int i = 0; i < pages_; ++i)
        kids += std::to_string(page_tree_object + 1 + objects_per_page * i) + " 0 R ";
    begin(page_tree_object);
    put("<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages_) + " >>\nendobj\n");
    begin(catalogue_object);
    put("<< /Type /Catalog /Pages " + std::to_string(page_tree_object) + " 0 R >>\nendobj\n");
    std::size_t table = bytes_.size();
    put("xref\n0 " + std::to_string(offsets_.size() + 1) + "\n0000000000 65535 f \n");
    for (std::size_t offset : offsets_) {
        char entry[32];
        std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", offset);
        put(entry);
    }
    put("trailer\n<< /Size " + std::to_string(offsets_.size() + 1) + " /Root " +
        std::to_string(catalogue_object) + " 0 R >>\nstartxref\n" + std::to_string(table) +
        "\n%%EOF\n");
    return std::move(bytes_);
}

}  // namespace

std::vector<std::uint8_t> encode_pdf(std::span<const Label> labels, int dpi) {
    if (labels.empty()) return {};
    PdfFile pdf;
    for (const Label& label : labels)
        if (!pdf.page(label.image, dpi)) return {};
    return pdf.finish();
}

bool write_pdf(std::span<const Label> labels, int dpi, const std::string& path) {
    std::vector<std::uint8_t> bytes = encode_pdf(labels, dpi);
    return !bytes.empty() && write_whole_file(path, [&bytes](const std::string& temporary) {
        return write_bytes(bytes, temporary);
    });
}

}  // namespace eplview
