#include "unpack/gim_png.h"

#include <vector>

#include "gim/gim_image.h"
#include "gim/png_writer.h"
#include "io/mapped_bytes.h"

namespace {

// Maps the GIM image's bytes.  Returns 0, or -1 when they cannot be read.
int MapImage(const Run& run, const WrittenEntry& written, const EntryRecord& record, File& file, MappedBytes* bytes) {
    if (run.options.mode != RunMode::kUnpack) {
        if (written.dataFile == nullptr) return -1;
        return written.dataFile->Map(written.dataBase, written.dataLength, bytes);
    }
    if (file.Open(record.output) != 0 || file.Length() <= 0) return -1;
    return file.Map(0, static_cast<uint64_t>(file.Length()), bytes);
}

}  // namespace

void ConvertGimToPng(Run& run, const WrittenEntry& written, EntryRecord& record) {
    File file;
    MappedBytes bytes;
    gim::RgbaImage image;
    if (MapImage(run, written, record, file, &bytes) != 0 ||
        gim::DecodeGim(bytes.Data(), bytes.Size(), &image) != gim::GimError::kNone) {
        run.listing.Error(Failure::kCannotConvert, record.output);
        return;
    }
    bytes = MappedBytes();
    (void)file.Close();
    // Named after the whole GIM file name, so it never takes the place of a
    // PNG of the archive's own.
    const std::string png = record.output + ".png";
    bool encoded = false;
    if (gim::WritePng(image.pixels.data(), image.width, image.height, [&](const uint8_t* data, size_t len) {
            encoded = true;
            return WriteMadeFile(run, png, data, len);
        }) == 0) {
        record.png = png;
    } else if (!encoded) {
        run.listing.Error(Failure::kCannotConvert, record.output);  // too large for the encoder, or memory short
    }
}
