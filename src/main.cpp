#include "app/shell/AppStartup.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    return vantorel::runApplication(app);
}
