// pulopro-helpcheck FILE: reads a help file the way the help viewer will (every file of the
// archive, and its contents and index), in a process of its own, so that a help file that
// crashes or hangs the help library takes only this process down. Exit status 0 when all of it
// reads, 1 when it does not, 2 on a usage error.

#include "widgets/HelpViewer.h"

#include <QString>

#include <cstdio>

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: pulopro-helpcheck FILE\n");
        return 2;
    }
    return pulo::ReadHelpFileWhole(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
