// The parent's decoding of corvane-import's replies: a reader taken over by a hostile file
// must not take the parent with it. The input goes through the buffering as a stream after
// the magic, and frame by frame with every payload in a buffer of exactly its size, so that
// a read past a frame's end is a fault the sanitizer sees.
#include "roster/ImportFrames.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {
void Check(const QStringView *values, qsizetype count)
{
    quint64 sum = 0;
    for (qsizetype i = 0; i < count; ++i) {
        if (quint64(values[i].size()) > ImportProtocol::MaxCellChars)
            abort();   // past the cell bound
        for (const QChar c : values[i])
            sum += c.unicode();
    }
    static volatile quint64 sink;
    sink = sum;
}

template <typename F> void Decoding(F f)
{
    try {
        f();
    } catch (const TFrameGarbled &) {
    } catch (const TRosterBoundExceeded &) {
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *bytes = reinterpret_cast<const char *>(data);
    {
        TImportFrameDecoder d;
        d.onRecord = Check;
        Decoding([&] {
            d.Feed(ImportProtocol::Magic, sizeof ImportProtocol::Magic);
            d.Feed(bytes, qsizetype(size));
        });
    }
    TImportFrameDecoder d;
    d.onRecord = Check;
    size_t at = 0;
    bool going = true;
    while (going && size - at >= 5) {
        quint32 n;
        memcpy(&n, bytes + at + 1, 4);
        const size_t take = std::min<size_t>(n, size - at - 5);
        std::unique_ptr<char[]> payload(new char[take ? take : 1]);
        memcpy(payload.get(), bytes + at + 5, take);
        going = false;
        Decoding([&] {
            d.Frame(bytes[at], payload.get(), quint32(take));
            going = !d.Done();
        });
        at += 5 + take;
    }
    return 0;
}
