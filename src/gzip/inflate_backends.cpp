// Which back end this build inflates with, and the factory over both.  The
// build defines RAVELKIT_WITH_ISAL when ISA-L was found and chosen; only
// then is inflate_isal.cpp compiled.
#include "gzip/inflater.h"

#include "gzip/inflate_backends.h"

InflateBackEnd DefaultInflateBackEnd() {
#ifdef RAVELKIT_WITH_ISAL
    return InflateBackEnd::kIsal;
#else
    return InflateBackEnd::kZlib;
#endif
}

int NewInflater(InflateBackEnd backEnd, std::unique_ptr<Inflater>* made) {
#ifdef RAVELKIT_WITH_ISAL
    if (backEnd == InflateBackEnd::kIsal) return NewIsalInflater(made);
#endif
    (void)backEnd;  // a back end this build lacks gives zlib
    return NewZlibInflater(made);
}
