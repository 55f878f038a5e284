// The selection record read by corvane-batch --verify: records travel between people, so
// the JSON may be anything. Our messages are expected results; a record that reads must
// write and read back the same.
#include "app/Exceptions.h"
#include "selection/SelectionRecord.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char *>(data), qsizetype(size));
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(text, &error);
    if (!doc.isObject())
        return 0;
    try {
        const TSelectionRecord record = TSelectionRecord::FromJson(doc.object(), QStringLiteral("record.json"));
        (void)record.Fields();
        (void)record.BatchCommand();
        const QJsonObject written = record.ToJson();
        const TSelectionRecord again = TSelectionRecord::FromJson(written, QStringLiteral("record.json"));
        if (again.ToJson() != written)
            abort();   // what it writes, it reads back the same
    } catch (const Exception &e) {
        if (!e.message().contains(QStringLiteral("record.json")))
            abort();   // an error names the file
    }
    return 0;
}
