// The parent's decoding of corvane-import's replies: a reader taken over by a hostile file
// must not take the parent with it. The input goes through the buffering as a stream after
// the magic, and frame by frame with every payload in a buffer of exactly its size, so that
// a read past a frame's end is a fault the sanitizer sees; and no buffer may be out of
// proportion to the bytes that came (a count or a length taken on the child's word).
#include "import/protocol/ImportFrames.h"

#include <sanitizer/allocator_interface.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {
size_t g_allowed = SIZE_MAX;   // the largest allocation the decoding may make now

void OnMalloc(const volatile void *, size_t size)
{
    if (size > g_allowed)
        abort();
}
void OnFree(const volatile void *) {}
const int g_hooks = __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree);

// Decoding n bytes may take a receiving buffer, the frame's text as UTF-16 and a view per
// value: a few times n, and a megabyte or two of buffer at least.
struct Allowance
{
    explicit Allowance(size_t n, size_t floor) { g_allowed = 16 * n + floor; }
    ~Allowance() { g_allowed = SIZE_MAX; }
};

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
        Allowance allowance(size, 4u << 20);
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
        Allowance allowance(take, 64u << 10);
        Decoding([&] {
            d.Frame(bytes[at], payload.get(), quint32(take));
            going = !d.Done();
        });
        at += 5 + take;
    }
    return 0;
}
