#include "report/Barcode.h"

#include <zint.h>
#include <cstddef>
#include <cstring>

namespace {
// A zint symbol is 30 KB, zeroed when created: made afresh for each barcode of a long run it
// cost more than the encoding. Each thread keeps one; before every encoding its settings are
// put back as they were first set (zint raises the height) and its output is cleared.
class ReusedSymbol
{
public:
    ReusedSymbol() : m_symbol(ZBarcode_Create())
    {
        if (!m_symbol)
            return;
        m_symbol->symbology = BARCODE_CODE128;
        m_symbol->input_mode = DATA_MODE;
        m_symbol->show_hrt = 0;
        std::memcpy(m_settings, m_symbol, sizeof m_settings);
    }
    ~ReusedSymbol() { ZBarcode_Delete(m_symbol); }
    ReusedSymbol(const ReusedSymbol &) = delete;
    ReusedSymbol &operator=(const ReusedSymbol &) = delete;

    zint_symbol *Fresh()
    {
        if (!m_symbol)
            return nullptr;
        ZBarcode_Clear(m_symbol);
        std::memcpy(static_cast<void *>(m_symbol), m_settings, sizeof m_settings);
        return m_symbol;
    }

private:
    zint_symbol *m_symbol;
    // everything before the outputs: what the caller sets
    unsigned char m_settings[offsetof(zint_symbol, text)];
};
}

TppBarcodeSymbol EncodeCode128(const QString &data)
{
    TppBarcodeSymbol result;
    if (data.isEmpty()) {
        result.Error = QStringLiteral("No data");
        return result;
    }
    thread_local ReusedSymbol reused;
    zint_symbol *const symbol = reused.Fresh();
    if (!symbol) {
        result.Error = QStringLiteral("Out of memory");
        return result;
    }
    const QByteArray bytes = data.toLatin1();
    const int rc = ZBarcode_Encode(symbol, reinterpret_cast<const unsigned char *>(bytes.constData()),
                                   int(bytes.size()));
    if (rc >= ZINT_ERROR) {
        result.Error = QString::fromLatin1(symbol->errtxt);
        return result;
    }
    result.Modules = symbol->width;
    // modules are bit-packed, least significant bit first
    auto dark = [&](int col) { return (symbol->encoded_data[0][col >> 3] >> (col & 7)) & 1; };
    int col = 0;
    while (col < symbol->width) {
        if (!dark(col)) {
            ++col;
            continue;
        }
        const int start = col;
        while (col < symbol->width && dark(col))
            ++col;
        result.Bars.append({start, col - start});
    }
    return result;
}
