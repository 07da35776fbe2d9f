// Stand-in for libFuzzer's main when the fuzz targets are built without it: runs the
// target once on every file named on the command line, and on every file of every
// directory named there. Options (arguments starting with '-') are ignored, so the
// same command line works with both.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace {

bool runFile(const QString &name)
{
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(name));
        return false;
    }
    const QByteArray bytes = file.readAll();
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.constData()), size_t(bytes.size()));
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    LLVMFuzzerInitialize(&argc, &argv);
    int runs = 0;
    bool ok = true;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg.startsWith('-'))
            continue;
        const QFileInfo info(arg);
        const QStringList files = info.isDir() ? QDir(arg).entryList(QDir::Files, QDir::Name) : QStringList{arg};
        for (const QString &name : files) {
            ok = runFile(info.isDir() ? QDir(arg).filePath(name) : arg) && ok;
            ++runs;
        }
    }
    std::printf("%d inputs run\n", runs);
    return ok && runs > 0 ? 0 : 1;
}
