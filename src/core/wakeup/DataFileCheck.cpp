#include "wakeup/DataFileCheck.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vimo {

std::optional<quint32> ReadChangeCounter(const QString& path)
{
    // Only a regular file: anyone who can write the folder could put a FIFO or a device in the
    // file's place, whose open would wait for ever on the store's thread.
    const QByteArray name = QFile::encodeName(path);
    struct stat status { };
    if (::stat(name.constData(), &status) != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
    // Replaced between the two calls: the open still returns at once, and fstat says what it is.
    const int file = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (file < 0)
        return std::nullopt;
    if (::fstat(file, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(file);
        return std::nullopt;
    }
    // One page is all a check needs; read-ahead would fetch many more over the network.
    ::posix_fadvise(file, 0, 0, POSIX_FADV_RANDOM);
    unsigned char bytes[4] = {};
    const bool read = ::pread(file, bytes, sizeof bytes, 24) == sizeof bytes;
    ::close(file);
    if (!read)
        return std::nullopt;
    return quint32(bytes[0]) << 24 | quint32(bytes[1]) << 16 | quint32(bytes[2]) << 8 | bytes[3];
}

} // namespace vimo
