#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "icons/errno_text.h"
#include "runtime/messages.h"
#include "runtime/error_trap.h"
#include "runtime/fs_helpers.h"
#include "runtime/message_boxes.h"
#include "sources/folder_list.h"
#include "sources/list_files.h"

namespace gg {

namespace {

struct FdCloser {
    int fd;
    ~FdCloser() { ::close(fd); }
};

} // namespace

QByteArray readListFileBytes(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    if (native.isEmpty() || native.contains('\0'))
        throw StepFailure(openFailureText(ENOENT, OpenedPath::File));
    // Without O_NONBLOCK, opening a pipe that nobody writes to would hold the window.
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        throw StepFailure(openFailureText(errno, OpenedPath::File));
    const FdCloser closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        throw StepFailure(openFailureText(errno, OpenedPath::File));
    if (!S_ISREG(st.st_mode))
        throw StepFailure("Path/File access error");
    if (st.st_size > kLargestListFile)
        throw StepFailure("File too large");

    // The size is only a hint: the file may grow while it is read, but is never read past the limit.
    QByteArray bytes;
    bytes.reserve(static_cast<qsizetype>(st.st_size));
    char chunk[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw StepFailure(openFailureText(errno, OpenedPath::File));
        if (n == 0)
            break;
        if (bytes.size() + n > kLargestListFile)
            throw StepFailure("File too large");
        bytes.append(chunk, static_cast<qsizetype>(n));
    }
    return bytes;
}

void loadListFile(FolderListModel& list, const QString& path, MessageBoxes& boxes, const QString& title)
{
    if (!fileExists(path)) {
        boxes.show(title, messages::kFileNotFound, BoxIcon::None, BoxButtons::Ok);
        return;
    }
    list.append(splitListFileBytes(readListFileBytes(path)));
}

} // namespace gg
