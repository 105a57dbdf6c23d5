// Entry names, output paths and the refusal of unsafe names.
#include <gtest/gtest.h>

#include "extract/extract.h"
#include "platform/platform.h"

namespace {

const std::string kSep(1, plat::kSeparator);

TEST(Naming, StoredNameEndsBeforeLastSpace) {
    struct Case { const char* text; const char* name; };
    for (const Case& c : {Case{"title.gim extra", "title.gim"}, Case{"a b c", "a b"}, Case{" x", ""},
                          Case{"plain", "plain"}, Case{"\x83\x20z", "\x83\x20z"}}) {
        EXPECT_EQ(FinishStoredName(c.text), c.name) << c.text;
    }
}

}  // namespace
