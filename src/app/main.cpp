#include "Body.h"
#include "Config.h"
#include "DataRoot.h"

#include <QApplication>
#include <QTranslator>

int main(int argc, char *argv[])
{
    Config &cfg = config();
    cfg.parseCommandLine(argc, argv);

    // A run without a window (batch work on a machine without a display) must not
    // need an X server: use the offscreen platform unless one was chosen explicitly.
    if (cfg.contains(QStringLiteral("-nw")) && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);

    cfg.read(cfg.configFileName());

    if (cfg.contains(QStringLiteral("DataRoot")))
        setDataRoot(cfg.value(QStringLiteral("DataRoot")));
    if (cfg.contains(QStringLiteral("-d")))
        setDataRoot(cfg.value(QStringLiteral("-d")));

    const bool noTranslation = cfg.contains(QStringLiteral("-e"));
    const bool noWindow = cfg.contains(QStringLiteral("-nw"));

    QTranslator translator;
    if (!noTranslation && translator.load(QStringLiteral(":zorvel_ja_JP"), QCoreApplication::applicationDirPath()))
        app.installTranslator(&translator);

    Body body(cfg.lines());
    QObject::connect(&body, &Body::finishing, &app, &QCoreApplication::quit);
    if (!noWindow)
        body.show();
    // The batch engine is not part of this build yet: say so instead of ignoring -b/-x.
    if (cfg.contains(QStringLiteral("-b")) || cfg.contains(QStringLiteral("-x")))
        qDebug() << "Batch scripts are not supported by this build; not loading : " << cfg.value(QStringLiteral("-b"));

    return app.exec();
}
