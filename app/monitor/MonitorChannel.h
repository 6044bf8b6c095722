#pragma once
// One monitored variable of the values window: whether it goes into the value
// log and to the trend viewer, and how it is named there.

#include <QString>

#include <cstdint>

struct MonitorChannel {
    bool selected = true;
    int32_t id = 0;
    QString name;
};
