// Configuration reader (with INCLUDE) and the text-line tokenizer on every line of the input.
#include "Config.h"
#include "FuzzInput.h"
#include "TextLine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Config config;
    config.read(fuzzInputFile(data, size));
    config.value(config.configFileName());
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    for (QString line : text.split(u'\n')) {
        chopContinuation(line);
        if (isBlankLine(line))
            continue;
        QString rest = removeComment(line), item;
        while (!rest.isEmpty())
            rest = nextItem(rest, item);
        itemsAfter(line, line.left(3));
    }
    return 0;
}
