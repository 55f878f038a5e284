#pragma once
// Code 128 symbols (zint chooses the code sets), as module runs for vector drawing.
#include <QList>
#include <QPair>
#include <QString>

struct TppBarcodeSymbol
{
    int Modules = 0;                  // symbol width in modules, quiet zones excluded
    QList<QPair<int, int>> Bars;      // (first module, module count) of each dark run
    QString Error;                    // empty when encoded
    bool IsValid() const { return Error.isEmpty() && Modules > 0; }
};

// Encode as Code 128 with automatic code sets; the text's characters are taken as Latin-1 bytes.
TppBarcodeSymbol EncodeCode128(const QString &data);
