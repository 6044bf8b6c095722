#pragma once
// Exceptions that carry the Russian text the user sees. Handlers let them reach
// the application's error display (see Ui.h: guarded()).

#include <QString>

#include <cstdint>
#include <exception>

namespace qmt {

// The framework's base exception: value-parsing errors and the messages of the
// commands themselves are raised as this class.
class Exception : public std::exception {
public:
    explicit Exception(QString message);
    const QString& message() const { return message_; }
    // A few commands add the name of the parameter that failed.
    void setMessage(QString message);
    const char* what() const noexcept override { return utf8_.constData(); }

private:
    QString message_;
    QByteArray utf8_;
};

// A register transaction failed three times; the message follows the status.
class ECommError : public Exception {
public:
    explicit ECommError(int32_t status);
    static QString messageFor(int32_t status);
    int32_t status() const { return status_; }

private:
    int32_t status_;
};

// A calibration reading out of range.
class ECalibError : public Exception {
public:
    explicit ECalibError(long value);
    // Both readings of a pair alike (value): no coefficients can come of them.
    static ECalibError equalReadings(long value);

private:
    explicit ECalibError(QString message);
};

} // namespace qmt
