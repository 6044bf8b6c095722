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

namespace {

// The text of each status code: a module's exception codes, then the library's.
struct StatusText {
    int32_t status;
    const char* text;
};
const StatusText StatusTexts[] = {
    // clang-format off
    {1, "Недопустимая функция"},
    {2, "Недопустимый адрес данных"},
    {3, "Недопустимое значение данных"},
    {4, "Сбой устройства"},
    {5, "Подтверждение"},
    {6, "Устойство занято"},
    {7, "Отрицательное подтверждение"},
    {8, "Ошибка памяти"},
    {14, "Нет ответа!"},
    {15, "Функция не поддерживается библиотекой!"},
    {16, "Не хватает буфера данных!"},
    {17, "Ошибка CRC!"},
    // clang-format on
};

} // namespace

QString ECommError::messageFor(int32_t status) {
    for (const StatusText& entry : StatusTexts)
        if (entry.status == status) return QString::fromUtf8(entry.text);
    return QStringLiteral("Неизвестная ошибка связи!");
}

ECommError::ECommError(int32_t status) : Exception(messageFor(status)), status_(status) {}

ECalibError::ECalibError(long value)
    : Exception(
          QStringLiteral(
              "Значение %1 выходит за пределы!\nПроверьте подключение цепей или исправность модуля!")
              .arg(value)) {}

ECalibError::ECalibError(QString message) : Exception(std::move(message)) {}

ECalibError ECalibError::equalReadings(long value) {
    return ECalibError(
        QStringLiteral("Оба измеренных значения равны %1!\nПроверьте подключение цепей!")
            .arg(value));
}

} // namespace qmt
