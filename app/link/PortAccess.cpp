#include "link/PortAccess.h"

#include "link/PortSettings.h"

#include <vornlink.h>

#include <QFile>

#include <cerrno>
#include <cstring>
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

namespace {

constexpr int32_t LineRejected = 12;

QString cause(const QString& port, int32_t status, int error) {
    if (status == LineRejected)
        return QStringLiteral("порт не принимает эту скорость или четность");
    const bool network = IsNetworkPort(port);
    switch (error) {
    case 0:
        return QString();
    case ENOENT:
    case ENODEV:
        return QStringLiteral("нет такого устройства");
    case ENXIO:
        return network ? QStringLiteral("адрес шлюза не найден")
                       : QStringLiteral("нет такого устройства");
    case EACCES:
    case EPERM:
        return QStringLiteral("нет доступа");
    case EBUSY:
    case EWOULDBLOCK:
        return QStringLiteral("порт занят другой программой");
    case ENOTTY:
    case EISDIR:
        return QStringLiteral("это не последовательный порт");
    case EINVAL:
        return network ? QStringLiteral("неверный адрес: нужны УЗЕЛ:ПОРТ")
                       : QStringLiteral("неверное имя порта");
    case ECONNREFUSED:
        return QStringLiteral("соединение отвергнуто");
    case ETIMEDOUT:
        return QStringLiteral("нет ответа от шлюза");
    case ENETUNREACH:
    case EHOSTUNREACH:
        return QStringLiteral("шлюз недоступен: нет маршрута к нему");
    default:
        return QStringLiteral("системная ошибка %1: %2")
            .arg(error)
            .arg(QString::fromLocal8Bit(std::strerror(error)));
    }
}

} // namespace

QString PortOpenFailureText(const QString& port, int32_t status, int error) {
    QString text = QStringLiteral("Невозможно открыть ") + port;
    // The group hint says more than "нет доступа" and says it already.
    QString second = PortAccessHint(port);
    if (second.isEmpty()) second = cause(port, status, error);
    if (!second.isEmpty()) text += QLatin1Char('\n') + second;
    return text;
}

QString FramingHint(const QString& port) {
    const QLatin1String mbap(VL_TCP_PREFIX), rtu(VL_RTU_TCP_PREFIX);
    if (port.startsWith(mbap)) {
        return QStringLiteral(
                   "Шлюз не ответил ни на один запрос. Если он передает кадры RTU как есть, выберите порт %1")
            .arg(rtu + port.mid(mbap.size()));
    }
    if (port.startsWith(rtu)) {
        return QStringLiteral(
                   "Шлюз не ответил ни на один запрос. Если он работает по Modbus TCP, выберите порт %1")
            .arg(mbap + port.mid(rtu.size()));
    }
    return QString();
}

} // namespace qmt
