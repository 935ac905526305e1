// Loading a list file of a million lines into the source list, and a few megabytes of binary.
// Usage: bench_list_file [lines]
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

#include "runtime/dialogs.h"
#include "runtime/message_boxes.h"
#include "support/window_harness.h"
#include "window/main_window.h"
#include "runtime/fs_helpers.h"
#include "sources/folder_list.h"
#include "sources/list_files.h"

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int lines = argc > 1 ? std::atoi(argv[1]) : 1000000;
    QTemporaryDir temp;

    const QString text = temp.filePath("folders.txt");
    {
        QFile file(text);
        file.open(QIODevice::WriteOnly);
        QByteArray bytes;
        for (int i = 0; i < lines; ++i)
            bytes += "/home/someone/icons/collection " + QByteArray::number(i) + "/sub folder\r\n";
        file.write(bytes);
    }
    const QString binary = temp.filePath("binary.bin");
    {
        QFile file(binary);
        file.open(QIODevice::WriteOnly);
        QByteArray bytes(16 << 20, Qt::Uninitialized);
        QRandomGenerator gen(7);
        for (char& c : bytes)
            c = static_cast<char>(gen.bounded(256));
        file.write(bytes);
    }

    gg::RecordingMessageBoxes boxes;
    for (const QString& path : {text, binary}) {
        gg::FolderListModel list;
        QElapsedTimer timer;
        timer.start();
        gg::loadListFile(list, path, boxes, QStringLiteral("bench"));
        std::printf("%-12s %8.3f s  %d entries  (%lld bytes)\n", qPrintable(QFileInfo(path).fileName()),
                    double(timer.nsecsElapsed()) / 1e9, list.count(), static_cast<long long>(QFileInfo(path).size()));
    }

    // The command as the user runs it, with the list shown in the window.
    gg::test::WindowHarness harness;
    gg::MainWindow& form = harness.open();
    form.show();
    harness.dialogs.files.push_back({text});
    QElapsedTimer timer;
    timer.start();
    form.loadListFiles();
    QCoreApplication::processEvents();
    std::printf("%-12s %8.3f s  %d entries in the window\n", "command", double(timer.nsecsElapsed()) / 1e9,
                form.sourceFolders->count());
    return 0;
}
