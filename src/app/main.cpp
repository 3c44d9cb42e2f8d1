#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Pelmora"));
    QCoreApplication::setApplicationName(QStringLiteral("Pelmora Studio"));
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Pelmora Studio"));
    window.resize(1200, 800);
    window.show();
    return app.exec();
}
