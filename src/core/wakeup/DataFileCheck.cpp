#include "wakeup/DataFileCheck.h"

#include <QFile>

#include <fcntl.h>
#include <unistd.h>

namespace vimo {

std::optional<quint32> ReadChangeCounter(const QString& path)
{
    const int file = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (file < 0)
        return std::nullopt;
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
