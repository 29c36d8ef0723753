// Command lines: splitting, interpreting, and Join giving the split items back.
#include <QDir>
#include <cstdlib>

#include "platform/HeadlessDialogs.h"
#include "services/TServiceTablesWrapper.h"
#include "shell/CommandLine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static HeadlessDialogs dialogs;
    // No table files there: the UK channels only, and no service to find.
    static TServiceTablesWrapper tables(QDir::tempPath() + QStringLiteral("/tunora-fuzz-none"),
                                        dialogs);
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    CommandLine::Interpret(text, tables);
    QStringList arguments = CommandLine::Split(text);
    // A comma inside a word (the program's path aside) separates words again once joined.
    const bool commas = arguments.mid(1).join(u' ').contains(u',');
    if (!commas && CommandLine::Split(CommandLine::Join(arguments)) != arguments) {
        std::abort();
    }
    CommandLine::TakeShowCommand(arguments);
    return 0;
}
