#include "unpack/run.h"

#include "platform/platform.h"

NameRules HostNameRules(bool keepRaw) {
    NameRules rules;
    rules.form = plat::DecodesNames(keepRaw) ? NameForm::kDecoded : NameForm::kRaw;
    rules.style = plat::kWindowsPaths ? PathStyle::kWindows : PathStyle::kPosix;
    rules.rawCharLength = plat::SystemCharLength();
    return rules;
}

bool Run::IsBeingRead(const std::string& path) const {
    for (const OpenArchive& a : open)
        if (*a.path == path) return true;
    return plat::IsOpenForReading(path);
}
