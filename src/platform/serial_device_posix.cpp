#include "platform/serial_device.h"

#include <QFile>

#include <cerrno>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

SerialOpenProblem diagnoseSerialOpenFailure(const QString& devicePath)
{
    const QByteArray path = QFile::encodeName(devicePath);
    struct stat info
    {
    };
    if (::stat(path.constData(), &info) != 0)
        return SerialOpenProblem::NotFound;
    if (::access(path.constData(), R_OK | W_OK) != 0)
        return SerialOpenProblem::AccessDenied;
    // Readable and writable, yet the open failed: a lock file or an exclusive open by another
    // program.
    return SerialOpenProblem::Busy;
}

QString serialDeviceGroup(const QString& devicePath)
{
    struct stat info
    {
    };
    // Joining a group helps only when it may read and write the device; root's never does.
    constexpr mode_t kReadWrite = S_IRGRP | S_IWGRP;
    if (::stat(QFile::encodeName(devicePath).constData(), &info) != 0
        || (info.st_mode & kReadWrite) != kReadWrite || info.st_gid == 0)
        return {};
    const struct group* owner = ::getgrgid(info.st_gid);
    return owner ? QString::fromLocal8Bit(owner->gr_name) : QString();
}

bool lockSerialDevice(qintptr handle)
{
    // A device that cannot be locked at all (no lock support) is not held by anyone else.
    return ::flock(int(handle), LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK;
}
