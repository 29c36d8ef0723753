// Table text: lines, fields and integer fields; written fields read back as they were.
#include <cstdlib>

#include "services/CsvFields.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const QString& line : SplitLines(bytes)) {
        const QStringList fields = SplitFields(line, 6);
        for (const QString& field : fields) {
            if (!IsIntegerField(field) && ParseInt32Field(field) != 0) {
                std::abort();
            }
            ParseUInt32Field(field);
        }
        // Line breaks and U+00FF (the blank's stand-in) are the only characters not kept.
        const QString joined = JoinFields(fields);
        if (!joined.contains(QChar(0xFF)) && SplitFields(joined, 6) != fields) {
            std::abort();
        }
    }
    return 0;
}
