#include "link/Errors.h"

#include <utility>

namespace qmt {

Exception::Exception(QString message) {
    setMessage(std::move(message));
}

void Exception::setMessage(QString message) {
    message_ = std::move(message);
    utf8_ = message_.toUtf8();
}

QString ECommError::messageFor(int32_t status) {
    switch (status) {
    case 1:
        return QStringLiteral("Недопустимая функция");
    case 2:
        return QStringLiteral("Недопустимый адрес данных");
    case 3:
        return QStringLiteral("Недопустимое значение данных");
    case 4:
        return QStringLiteral("Сбой устройства");
    case 5:
        return QStringLiteral("Подтверждение");
    case 6:
        return QStringLiteral("Устойство занято");
    case 7:
        return QStringLiteral("Отрицательное подтверждение");
    case 8:
        return QStringLiteral("Ошибка памяти");
    case 14:
        return QStringLiteral("Нет ответа!");
    case 15:
        return QStringLiteral("Функция не поддерживается библиотекой!");
    case 16:
        return QStringLiteral("Не хватает буфера данных!");
    case 17:
        return QStringLiteral("Ошибка CRC!");
    default:
        return QStringLiteral("Неизвестная ошибка связи!");
    }
}

ECommError::ECommError(int32_t status) : Exception(messageFor(status)), status_(status) {}

ECalibError::ECalibError(long value)
    : Exception(QStringLiteral("Значение ") + QString::number(value) +
                QStringLiteral(" выходит за пределы!\nПроверьте подключение цепей или "
                               "исправность модуля!")) {}

ECalibError::ECalibError(QString message) : Exception(std::move(message)) {}

ECalibError ECalibError::equalReadings(long value) {
    return ECalibError(QStringLiteral("Оба измеренных значения равны %1!\nПроверьте подключение "
                                      "цепей!")
                           .arg(value));
}

} // namespace qmt
