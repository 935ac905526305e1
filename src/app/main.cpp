#include <QApplication>

#include "shell/form1.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    gg::Form1 window;
    window.show();
    return app.exec();
}
