#include "selection/TextOrder.h"

#include <array>
#include <cstring>

namespace {

// The characters of bytes 0x80-0x9F; the five undefined bytes keep their code.
constexpr char16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

std::array<quint16, 0x10000> buildWeights()
{
    std::array<quint16, 0x10000> w{};
    std::array<bool, 0x10000> inCodePage{};
    for (int b = 0; b < 256; ++b) {
        const char16_t u = (b >= 0x80 && b < 0xA0) ? kHigh[b - 0x80] : char16_t(b);
        w[u] = quint16(b);
        inCodePage[u] = true;
    }
    // The other units numbered on from 256 in code-point order: the BMP outside the
    // surrogates first, then the surrogates (whose pairs stand for code points above it).
    int next = 256;
    auto number = [&](int from, int to) {
        for (int u = from; u <= to; ++u)
            if (!inCodePage[u])
                w[u] = quint16(next++);
    };
    number(0, 0xD7FF);
    number(0xE000, 0xFFFF);
    number(0xD800, 0xDFFF);
    return w;
}

const std::array<quint16, 0x10000> &weightTable()
{
    static const std::array<quint16, 0x10000> table = buildWeights();
    return table;
}

} // namespace

const quint16 *const TextOrder::Weights = weightTable().data();

int CompareSortText(QStringView a, QStringView b, qsizetype from)
{
    const qsizetype n = qMin(a.size(), b.size());
    const char16_t *pa = a.utf16();
    const char16_t *pb = b.utf16();
    qsizetype i = from;
    // Equal runs (long shared name beginnings) eight units, then four, at a time.
    for (; i + 8 <= n; i += 8) {
        quint64 wa[2], wb[2];
        std::memcpy(wa, pa + i, sizeof wa);
        std::memcpy(wb, pb + i, sizeof wb);
        if (((wa[0] ^ wb[0]) | (wa[1] ^ wb[1])) != 0)
            break;
    }
    for (; i + 4 <= n; i += 4) {
        quint64 wa, wb;
        std::memcpy(&wa, pa + i, sizeof wa);
        std::memcpy(&wb, pb + i, sizeof wb);
        if (wa != wb)
            break;
    }
    for (; i < n; ++i) {
        if (pa[i] != pb[i]) {
            const int wa = TextOrder::Weight(pa[i]);
            const int wb = TextOrder::Weight(pb[i]);
            return wa < wb ? -1 : 1;   // distinct units weigh differently
        }
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}
