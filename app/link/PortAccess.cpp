#include "link/PortAccess.h"

#include <QFile>

#include <cerrno>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace qmt {

QString PortAccessHint(const QString& port) {
    const QByteArray path = QFile::encodeName(port);
    if (path.isEmpty() || ::access(path.constData(), R_OK | W_OK) == 0 || errno != EACCES)
        return QString();
    struct stat st {};
    if (::stat(path.constData(), &st) != 0) return QString();
    // Joining the group helps only where the group may read and write, and
    // joining root's group is no advice to give.
    if (st.st_gid == 0 || (st.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP))
        return QString();

    QString group = QString::number(st.st_gid);
    std::vector<char> buffer(16384);
    struct group entry {};
    struct group* found = nullptr;
    if (::getgrgid_r(st.st_gid, &entry, buffer.data(), buffer.size(), &found) == 0 && found)
        group = QString::fromLocal8Bit(found->gr_name);
    // The command on a line of its own: the box wraps long lines, and a
    // command broken in the middle is hard to copy.
    return QStringLiteral("Нет прав на чтение и запись порта: он принадлежит группе %1.\n"
                          "Добавьте себя в группу и войдите в систему заново:\n"
                          "sudo usermod -aG %1 $USER")
        .arg(group);
}

} // namespace qmt
