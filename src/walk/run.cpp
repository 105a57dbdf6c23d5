#include "walk/run.h"

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

int OutputBudget::ChargeFile(uint64_t extent) {
    const uint64_t charge = extent < kLeastPerFile ? kLeastPerFile : extent;
    if (charge > Room()) return -1;
    spent_ += charge;
    return 0;
}

void RunState::Fail(const FailureReport& report) {
    ++failures_;
    if (lines_ != nullptr) lines_->Print(report);
}

void RunState::Fail(Failure failure, const std::string& path, int systemError) {
    FailureReport report{failure, path};
    report.systemError = systemError;
    Fail(report);
}

void RunState::TooMuchOutput() {
    Fail(Failure::kTooMuchOutput, topArchive);
    Stop();
}
