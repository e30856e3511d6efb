#include "MainWindow.h"
#include "tcAppearance.h"
#include "tcSingleApplication.h"
#include "tcVideoDevice.h"

#include <QIcon>
#include <QStyleFactory>

int main(int argc, char** argv)
{
    registerVideoDeviceMetaType();
    QApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);
    tcSingleApplication app(argc, argv, true);

    // A second start only tells the running copy and leaves.
    if (app.sendMessage(QStringLiteral("%1 wants to run").arg(QString::fromUtf8(argv[0])), 5000))
        return 0;

    const QPalette platformPalette = QApplication::palette();
    const QIcon icon(QStringLiteral(":AppIcon/Zephyrlock_Config.ico"));
    const QString style = chooseStyle(QStyleFactory::keys());
    if (!style.isEmpty())
        QApplication::setStyle(style);
    QApplication::setPalette(darkPalette(platformPalette));
    if (!icon.isNull())
        QApplication::setWindowIcon(icon);

    MainWindow window(nullptr);
    window.show();
    return app.exec();
}
