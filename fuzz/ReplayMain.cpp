// Without libFuzzer each target replays the inputs it is given (files, or every file in
// the folders given), so the seed corpus and every input that ever crashed run as tests.
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

int main(int argc, char *argv[])
{
    QStringList inputs;
    for (int i = 1; i < argc; ++i) {
        // Absolute, since the first input makes the temporary folder the working directory.
        const QString arg = QFileInfo(QFile::decodeName(argv[i])).absoluteFilePath();
        if (!QFileInfo(arg).isDir()) {
            inputs << arg;
            continue;
        }
        const QDir dir(arg);
        for (const QString &name : dir.entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name))
            inputs << dir.filePath(name);
    }
    for (const QString &name : inputs) {
        QFile file(name);
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "cannot read %s\n", qPrintable(name));
            return 1;
        }
        const QByteArray bytes = file.readAll();
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.constData()), size_t(bytes.size()));
    }
    std::printf("%lld inputs replayed\n", static_cast<long long>(inputs.size()));
    return 0;
}
