// Moving the configuration model between the program and the module, and the
// module's restart counter.
#include "config/ModuleConfig.h"
#include "config/TPidConf.h"

#include "common/RadioGroup.h"
#include "common/Ui.h"
#include "link/Errors.h"
#include "link/RegisterAccess.h"
#include "link/RegisterMap.h"
#include "link/StatusReport.h"

#include <algorithm>
#include <optional>

namespace {

using namespace qmt;

constexpr int PidHalf = 7; // a block is read as two requests of 7 registers
constexpr int WriteWaitMs = 100;

// Reads into a scratch buffer so that a failed request leaves the model as it was.
void readInto(reg::Address address, uint16_t count, uint16_t* target) {
    uint16_t buffer[PidHalf] = {};
    ReadRegisters(address, count, buffer);
    std::copy(buffer, buffer + count, target);
}

bool hasPwm(uint16_t version) {
    return version >= reg::FirstVersionWithPwm;
}

// Registers of a whole configuration; the PWM blocks are known to be there
// only once the firmware version is read, at the end, so the count assumes them.
constexpr int ConfigRegisters = 3 * reg::PidBlockSize + 1 + 1 + 1 + 4 + 4 + 2 * reg::PwmBlockSize;

// Progress of a transfer, register by register.
class TransferNote {
public:
    explicit TransferNote(const char* what) : what_(QString::fromUtf8(what)) { show(); }
    void add(int registers) {
        done_ += registers;
        show();
    }
    int done() const { return done_; }
    void end() { note_.end(); }

private:
    void show() {
        note_.show(what_ + QStringLiteral(": %1 из %2").arg(done_).arg(ConfigRegisters));
    }
    QString what_;
    int done_ = 0;
    ProgressNote note_;
};

} // namespace

const std::array<QString, 63>& TPidConf::WriteStepNames() {
    static const std::array<QString, 63> names = [] {
        const QString pidNames[14] = {QStringLiteral("Коммутатор значения уставки"),
                                      QStringLiteral("Уставка"),
                                      QStringLiteral("Верхняя граница зоны нечувствительности"),
                                      QStringLiteral("коэффициент пропорциональности"),
                                      QStringLiteral("постоянная времени интегрирования"),
                                      QStringLiteral("постоянная времени дифференцирования"),
                                      QStringLiteral("период входных  выборок"),
                                      QStringLiteral("уровень ограничения по максимуму"),
                                      QStringLiteral("уровень ограничения по минимуму"),
                                      QStringLiteral("смещение выхода ПИД-регулятора"),
                                      QStringLiteral("регистр управления ПИД-регулятора"),
                                      QStringLiteral("значение для принудительного вывода"),
                                      QStringLiteral("смещение входа ПИД-регулятора"),
                                      QStringLiteral("нижняя граница зоны нечувствительности")};
        const QString q = QStringLiteral("\"");
        std::array<QString, 63> t;
        int k = 0;
        t[k++] = QStringLiteral("\"Режим работы входа (канал 1)\"");
        t[k++] = QStringLiteral("\"Режим работы входа (канал 2)\"");
        t[k++] = QStringLiteral("\"Режим работы входа (канал 3)\"");
        t[k++] = QStringLiteral("\"Режим работы выхода \"");
        for (int n = 0; n < 3; ++n)
            for (const QString& name : pidNames)
                t[k++] = q + name + QStringLiteral("(ПИД%1)").arg(n + 1) + q;
        t[k++] = QStringLiteral("\"коммутатор выхода\"");
        t[k++] = QStringLiteral("\"Начальное значение выхода\"");
        t[k++] = QStringLiteral("\"Режим работы преобразователя\"");
        t[k++] = QStringLiteral("\"Время интегрирования канала 1\"");
        t[k++] = QStringLiteral("\"Время интегрирования канала 2\"");
        t[k++] = QStringLiteral("\"Время интегрирования канала 3\"");
        t[k++] = QStringLiteral("\"Скорость нарастания/спада выходного сигнала\"");
        t[k++] = QStringLiteral("\"нижняя граница зоны нечувствительности около нуля для "
                                "положительной составляющей(ШИМ1)\"");
        t[k++] = QStringLiteral("\"верхняя граница зоны нечувствительности около нуля для "
                                "положительной составляющей\"");
        t[k++] = QStringLiteral("\"период формирования пилы ШИМ для положительной составляющей\"");
        t[k++] =
            QStringLiteral("\"максимальная амплитуда пилы ШИМ для положительной составляющей\"");
        t[k++] = QStringLiteral("\"величина зоны нечувствительности около амплитуды пилы для "
                                "положительной составляющей\"");
        t[k++] = QStringLiteral("\"нижняя граница зоны нечувствительности около нуля для "
                                "отрицательной составляющей\"");
        t[k++] = QStringLiteral("\"верхняя граница зоны нечувствительности около нуля для "
                                "отрицательной составляющей\"");
        t[k++] = QStringLiteral("\"период формирования пилы ШИМ для отрицательной составляющей\"");
        t[k++] =
            QStringLiteral("\"максимальная амплитуда пилы ШИМ для отрицательной составляющей\"");
        t[k++] = QStringLiteral("\"величина зоны нечувствительности около амплитуды пилы для "
                                "отрицательной составляющей\"");
        return t;
    }();
    return names;
}

void TPidConf::miReadConfClick() {
    std::optional<qmt::BusyCursor> busy(std::in_place);
    std::optional<TransferNote> note(std::in_place, "Чтение конфигурации");
    auto read = [&note](reg::Address address, uint16_t count, uint16_t* target) {
        readInto(address, count, target);
        note->add(count);
    };
    for (int n = 0; n < 3; ++n) {
        uint16_t* words = Config.pid[n].w.data();
        read(reg::PidBlock(n), PidHalf, words);
        read(reg::PidBlock(n) + PidHalf, PidHalf, words + PidHalf);
    }
    Config.SwOut = ReadRegister(reg::OutputSource);
    note->add(1);
    read(reg::InputIntegrationTime(0), 4, &Config.io[io::InputTi0]);
    read(reg::OutputInitialValue, 1, &Config.io[io::DacValue]);
    read(reg::InputMode(0), 4, &Config.io[io::InputMode0]);
    read(reg::ModuleMode, 1, &Config.io[io::ModuleMode]);

    const uint16_t mode = Config.io[io::ModuleMode];
    if (mode == 1 || mode == 2)
        rgMode->setItemIndex(mode - 1);
    else
        rgMode->clearSelection();

    if (hasPwm(ReadRegister(reg::FirmwareVersion))) {
        read(reg::Pwm1, reg::PwmBlockSize, &Config.io[io::Pwm1]);
        read(reg::Pwm2, reg::PwmBlockSize, &Config.io[io::Pwm2]);
    }
    const int registers = note->done();
    busy.reset(); // ShowConfig may ask the user
    note.reset();
    ShowConfig();
    status().confirm(QStringLiteral("Конфигурация прочитана: ") + RegisterCount(registers));
}

void TPidConf::miWriteConfClick() {
    uint16_t k = 0; // writes completed; names the parameter of a failure
    auto wait = [] { qmt::clock().sleepMs(WriteWaitMs); };
    const qmt::BusyCursor busy; // 8 to 13 seconds of writes
    TransferNote note("Запись конфигурации");
    // Each register written is counted before the wait that follows it.
    auto count = [&k, &note] {
        ++k;
        note.add(1);
    };
    try {
        for (int i = 0; i < 4; ++i) {
            WriteProtectedRegisters(reg::InputMode(i), 1, &Config.io[io::InputMode0 + i]);
            count();
            wait();
        }
        for (int n = 0; n < 3; ++n) {
            for (int w = 0; w < reg::PidBlockSize; ++w) {
                WriteRegisters(reg::PidWord(n, w), 1, &Config.pid[n].w[w]);
                count();
                wait();
            }
        }
        WriteRegister(reg::OutputSource, Config.SwOut);
        count();
        wait();
        WriteProtectedRegister(reg::OutputInitialValue, Config.io[io::DacValue]);
        count();
        wait();
        WriteProtectedRegister(reg::ModuleMode, Config.io[io::ModuleMode]);
        count();
        wait();
        for (int i = 0; i < 4; ++i) {
            WriteProtectedRegister(reg::InputIntegrationTime(i), Config.io[io::InputTi0 + i]);
            count();
            wait();
        }
        if (hasPwm(ReadRegister(reg::FirmwareVersion))) {
            for (int i = 0; i < reg::PwmBlockSize; ++i) {
                WriteRegisters(reg::Pwm1 + i, 1, &Config.io[io::Pwm1 + i]);
                count();
            }
            for (int i = 0; i < reg::PwmBlockSize; ++i) {
                WriteRegisters(reg::Pwm2 + i, 1, &Config.io[io::Pwm2 + i]);
                count();
            }
        }
    } catch (ECommError& error) {
        error.setMessage(error.message() + QStringLiteral("\nпараметр:\n") +
                         WriteStepNames().at(std::min<size_t>(k, WriteStepNames().size() - 1)));
        throw;
    }
    note.end();
    status().confirm(QStringLiteral("Конфигурация записана: ") + RegisterCount(note.done()));
}

void TPidConf::miReadResCountClick() {
    const uint16_t count = ReadRegister(reg::RestartCounter);
    showMessage(QStringLiteral("Значение счетчика\nрестартов равно ") + QString::number(count),
                QString(), MsgIcon::Information, this);
}

void TPidConf::miNullResCountClick() {
    WriteRegister(reg::RestartCounter, 0);
    showMessage(QStringLiteral("Операция завершена успешно!"), QString(), MsgIcon::Information,
                this);
}
