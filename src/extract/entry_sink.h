// Where an entry's bytes go while it is expanded.  Every sink keeps the
// first bytes (what tells the entry's content) and refuses to reach past an
// allowance: the bytes the run's output budget has room for, so that a
// bomb stops where the budget would stop it.  What the sink reached is
// charged to the budget by the commit step.
#pragma once

#include <cstdint>
#include <string>

#include "format/signatures.h"
#include "io/byte_stream.h"
#include "io/file.h"

class EntrySink : public ByteSink {
public:
    // The least a file costs, whatever its size (the output budget's rule).
    static constexpr uint64_t kLeastPerFile = 4096;

    explicit EntrySink(uint64_t allowance) : allowance_(allowance) {}
    EntrySink(const EntrySink&) = delete;
    EntrySink& operator=(const EntrySink&) = delete;

    // Makes the output ready.  Returns 0, or -1 when the allowance has no
    // room for a file (OverAllowance()) or the output cannot be made.
    int Create();

    // Takes len more bytes: keeps what falls in the first bytes and hands
    // them on.  Returns 0, or -1 when they would pass the allowance (nothing
    // taken then) or could not be written.
    int Write(const uint8_t* data, size_t len) final;

    // Drops every byte taken, to take them anew; a stretch taken twice
    // reaches no further than once.  Returns 0, or -1.
    int Restart() final;

    // Has the system append len bytes at pos of src, where it can (nothing
    // past the allowance).  Returns the count copied, short when it could
    // not copy (the rest).
    uint64_t CopyFrom(const File& src, uint64_t pos, uint64_t len);

    // Ends the output.  Returns 0, or -1 when data may have been lost.
    int Finish();

    const uint8_t* Head() const { return head_; }
    Content HeadContent() const { return ClassifyContent(head_); }
    uint64_t Taken() const { return taken_; }
    // The furthest the output reached: what the budget is charged.
    uint64_t Extent() const { return extent_; }
    // True when the allowance refused the output or a write to it.
    bool OverAllowance() const { return overAllowance_; }
    // The system's reason (errno) when the output could not be made,
    // written or ended; 0 when there is none.
    int SystemError() const { return systemError_; }

protected:
    // Makes the output ready.  Returns 0, or -1.
    virtual int Open() { return 0; }
    // Writes len bytes at offset at of the output.  Returns 0, or -1.
    virtual int Put(uint64_t at, const uint8_t* data, size_t len) = 0;
    // Has the system copy len bytes at pos of src to offset at of the
    // output.  Returns the count copied.
    virtual uint64_t PutBySystem(const File& src, uint64_t pos, uint64_t at, uint64_t len) {
        (void)src, (void)pos, (void)at, (void)len;
        return 0;
    }
    // Drops what was written.  Returns 0, or -1.
    virtual int Discard() = 0;
    // Ends the output.  Returns 0, or -1.
    virtual int End() { return 0; }

private:
    // Makes room for the output reaching end.  Returns 0, or -1 past the
    // allowance.
    int Reach(uint64_t end);

    uint64_t allowance_;
    uint8_t head_[kContentHeadSize] = {};
    uint64_t taken_ = 0;
    uint64_t extent_ = 0;
    bool overAllowance_ = false;
    int systemError_ = 0;
};

// Testing's sink: nothing is written, but the bytes of a gzip member that is
// an archive (keepArchives) or a GIM image (keepImages) go to kept, opened
// as an anonymous temporary file once the first bytes show they are wanted,
// so that its entries can be walked or it can be converted.  refused: the
// file unpacking would write is an archive being read, which it would not
// write over; Create fails then, as creating the file would.
class TestSink : public EntrySink {
public:
    TestSink(uint64_t allowance, bool keepArchives, bool keepImages, File& kept, bool refused)
        : EntrySink(allowance), keepArchives_(keepArchives), keepImages_(keepImages), refused_(refused), kept_(kept) {}

protected:
    int Open() override { return refused_ ? -1 : 0; }
    int Put(uint64_t at, const uint8_t* data, size_t len) override;
    int Discard() override;

private:
    bool keepArchives_;
    bool keepImages_;
    bool refused_;
    bool decided_ = false;
    File& kept_;
};
