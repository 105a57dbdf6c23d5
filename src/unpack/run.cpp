#include "unpack/run.h"

#include "platform/platform.h"

NameRules HostNameRules(bool keepRaw) {
    NameRules rules;
    rules.form = plat::DecodesNames(keepRaw) ? NameForm::kDecoded : NameForm::kRaw;
    rules.style = plat::kWindowsPaths ? PathStyle::kWindows : PathStyle::kPosix;
    rules.rawCharLength = plat::SystemCharLength();
    return rules;
}

void OutputBudget::SetLimit(uint64_t archiveSize, uint64_t perByte, uint64_t allowance) {
    const uint64_t room = UINT64_MAX - allowance;
    limit_ = perByte != 0 && archiveSize > room / perByte ? UINT64_MAX : archiveSize * perByte + allowance;
}

int OutputBudget::BeginFile() {
    if (kLeastPerFile > limit_ - spent_) return -1;
    spent_ += kLeastPerFile;
    fileCharged_ = kLeastPerFile;
    return 0;
}

void OutputBudget::CancelFile() {
    spent_ -= fileCharged_;
    fileCharged_ = 0;
}

int OutputBudget::Reach(uint64_t end) {
    if (end <= fileCharged_) return 0;
    if (end - fileCharged_ > limit_ - spent_) return -1;
    spent_ += end - fileCharged_;
    fileCharged_ = end;
    return 0;
}

bool Run::IsBeingRead(const std::string& path) const {
    for (const OpenArchive& a : open)
        if (*a.path == path) return true;
    return plat::IsOpenForReading(path);
}
