#include "Body.h"
#include "Config.h"
#include "DataRoot.h"

#include <QApplication>
#include <QTranslator>

int main(int argc, char *argv[])
{
    Config &cfg = config();
    cfg.parseCommandLine(argc, argv);

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

    return app.exec();
}
