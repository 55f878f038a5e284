#include "report/Barcode.h"

#include <zint.h>
#include <memory>

TppBarcodeSymbol EncodeCode128(const QString &data)
{
    TppBarcodeSymbol result;
    if (data.isEmpty()) {
        result.Error = QStringLiteral("No data");
        return result;
    }
    std::unique_ptr<zint_symbol, void (*)(zint_symbol *)> symbol(ZBarcode_Create(), ZBarcode_Delete);
    if (!symbol) {
        result.Error = QStringLiteral("Out of memory");
        return result;
    }
    symbol->symbology = BARCODE_CODE128;
    symbol->input_mode = DATA_MODE;
    symbol->show_hrt = 0;
    const QByteArray bytes = data.toLatin1();
    const int rc = ZBarcode_Encode(symbol.get(), reinterpret_cast<const unsigned char *>(bytes.constData()),
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
