#include "extract/extraction.h"

#include <cerrno>

#include "gim/gim_image.h"
#include "gim/png_writer.h"
#include "platform/platform.h"

bool WouldOverwriteArchive(const ArchiveScope& scope, const std::string& path) {
    return scope.IsOpenAt(path) || plat::IsOpenForReading(path);
}

std::string GimPathOf(const EntryVisit& entry, const NameRules& rules) {
    return GimPath(entry.outputPath, entry.scope.prefix + entry.outputName, rules);
}

OutputResult FillOutput(EntryVisit& entry, EntryReader& data, EntrySink& out) {
    OutputResult result;
    if (out.Create() != 0) {
        result.made = out.OverAllowance() ? OutputResult::kOverBudget : OutputResult::kCannotCreate;
        result.systemError = out.SystemError();
        return result;
    }
    if (entry.kind == EntryKind::kStored) {
        result.copy = CopyStored(data, entry.scope.archive.Data(), out);
        if (result.copy == CopyStop::kReadFailed) result.systemError = errno;
        if (result.copy == CopyStop::kDone) result.finished = out.Finish() == 0;
    } else {
        result.inflate = ExpandGzip(data, out);
        const InflateOutcome::Stop stop = result.inflate.stop;
        if (stop == InflateOutcome::kReadFailed) result.systemError = errno;
        if (stop != InflateOutcome::kReadFailed && stop != InflateOutcome::kWriteFailed) result.finished = out.Finish() == 0;
    }
    if (result.systemError == 0) result.systemError = out.SystemError();
    return result;
}

WrittenBytes BytesOfEntry(const EntryVisit& entry, const File& kept, uint64_t length) {
    WrittenBytes bytes;
    if (entry.kind == EntryKind::kStored) {
        bytes.file = &entry.scope.archive.Data();
        bytes.base = entry.scope.archive.Base() + entry.record.offset;
        bytes.length = entry.record.size;
    } else if (kept.IsOpen()) {
        bytes.file = &kept;
        bytes.length = length;
    }
    return bytes;
}

void Extraction::BeginEntry(EntryVisit& entry) {
    if (lines_ != nullptr) lines_->Begin(entry.listed);
}

void Extraction::DataRefused(EntryVisit& entry) { (void)entry; }

bool Extraction::EnterNested(EntryVisit& entry, const std::string& folder) {
    (void)entry, (void)folder;
    if (lines_ != nullptr) lines_->Done();
    return true;
}

void Extraction::EndEntry(EntryVisit& entry, Expansion* expansion, NestedWalk nested) {
    (void)expansion;
    if (nested == NestedWalk::kWalked || nested == NestedWalk::kNotOpened) AfterNested(entry);
    if (lines_ != nullptr) lines_->Done();
}

bool Extraction::RefuseUnsafe(EntryVisit& entry) {
    entry.listed.output = entry.outputPath;
    if (entry.safe) return false;
    state_.Fail(Failure::kUnsafePath, entry.outputPath);
    return true;
}

void Extraction::ReportOutputFailure(const EntrySink& out, Failure failure, const std::string& path, int systemError) {
    if (out.OverAllowance())
        state_.TooMuchOutput();
    else
        state_.Fail(failure, path, systemError);
}

void Extraction::ReportBrokenCopy(EntryVisit& entry, const EntrySink& out, bool readFailed, int systemError) {
    if (readFailed && !out.OverAllowance())
        state_.Fail(Failure::kCannotRead, entry.scope.path, systemError);
    else
        ReportOutputFailure(out, Failure::kCannotWrite, entry.outputPath, systemError);
}

void Extraction::Charge(const EntrySink& out) {
    if (!out.OverAllowance()) (void)state_.output.ChargeFile(out.Extent());
}

bool Extraction::ReportOutput(EntryVisit& entry, const EntrySink& out, const OutputResult& result) {
    if (result.made == OutputResult::kOverBudget) {
        state_.TooMuchOutput();
        return false;
    }
    if (result.made == OutputResult::kCannotCreate) {
        state_.Fail(Failure::kCannotCreate, entry.outputPath, result.systemError);
        return false;
    }
    Charge(out);
    return entry.kind == EntryKind::kStored ? ReportStored(entry, out, result) : ReportMember(entry, out, result);
}

bool Extraction::ReportStored(EntryVisit& entry, const EntrySink& out, const OutputResult& result) {
    if (result.copy != CopyStop::kDone || !result.finished) {
        ReportBrokenCopy(entry, out, result.copy == CopyStop::kReadFailed, result.systemError);
        return false;
    }
    entry.listed.expanded = entry.listed.size;
    entry.listed.content = out.HeadContent();
    if (lines_ != nullptr) lines_->EndLine();
    return true;
}

bool Extraction::ReportMember(EntryVisit& entry, const EntrySink& out, const OutputResult& result) {
    ListedEntry& listed = entry.listed;
    const InflateOutcome& inflate = result.inflate;
    if (inflate.stop == InflateOutcome::kReadFailed || inflate.stop == InflateOutcome::kWriteFailed) {
        ReportBrokenCopy(entry, out, inflate.stop == InflateOutcome::kReadFailed, result.systemError);
        return false;
    }
    listed.expanded = inflate.produced;
    listed.content = out.HeadContent();
    listed.checksum = inflate.checksum;
    if (inflate.stop == InflateOutcome::kCode) {
        FailureReport code{Failure::kInflateCode, listed.output};
        code.code = inflate.code;
        state_.Fail(code);
    }
    if (!result.finished) {
        ReportBrokenCopy(entry, out, false, result.systemError);
        return false;
    }
    if (lines_ != nullptr) {
        lines_->Expanded(inflate.produced);
        lines_->EndLine();
    }
    return true;
}

Committed Extraction::AfterOutput(EntryVisit& entry, const uint8_t* head, GzipChecksum checksum,
                                  const WrittenBytes& bytes) {
    const Content content = ClassifyContent(head);
    if (content == Content::kGim) {
        const std::string gim = GimPathOf(entry, options_.names);
        if (!gim.empty() && RenameGim(entry.outputPath, gim) == 0) entry.listed.output = gim;
    }
    if (checksum == GzipChecksum::kBad) state_.Fail(Failure::kBadGzipChecksum, entry.outputPath);
    if (content == Content::kGim && options_.convertGim) ConvertGim(entry, bytes);
    Committed committed;
    committed.holdsArchive = content == Content::kArchive;
    return committed;
}

void Extraction::ConvertGim(EntryVisit& entry, const WrittenBytes& bytes) {
    ListedEntry& listed = entry.listed;
    File file;
    MappedBytes mapped;
    gim::RgbaImage image;
    if (MapGim(entry, bytes, file, &mapped) != 0 ||
        gim::DecodeGim(mapped.Data(), mapped.Size(), &image) != gim::GimError::kNone) {
        state_.Fail(Failure::kCannotConvert, listed.output);
        return;
    }
    mapped = MappedBytes();
    (void)file.Close();
    // Named after the whole GIM file name, so it never takes the place of a
    // PNG of the archive's own.
    const std::string png = listed.output + ".png";
    bool encoded = false;
    if (gim::WritePng(image.pixels.data(), image.width, image.height, [&](const uint8_t* data, size_t len) {
            encoded = true;
            return WriteMadeFile(entry, png, data, len);
        }) == 0) {
        listed.png = png;
    } else if (!encoded) {
        state_.Fail(Failure::kCannotConvert, listed.output);  // too large for the encoder, or memory short
    }
}

int Extraction::WriteMadeFile(EntryVisit& entry, const std::string& path, const uint8_t* data, size_t len) {
    std::unique_ptr<EntrySink> out = NewMadeFile(entry, path, state_.output.Room());
    if (out->Create() != 0) {
        ReportOutputFailure(*out, Failure::kCannotCreate, path, out->SystemError());
        return -1;
    }
    if (out->Write(data, len) != 0 || out->Finish() != 0) {
        Charge(*out);
        ReportOutputFailure(*out, Failure::kCannotWrite, path, out->SystemError());
        return -1;
    }
    Charge(*out);
    return 0;
}
