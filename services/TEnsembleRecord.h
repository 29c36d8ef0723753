#pragma once

#include <QString>
#include <cstdint>

struct TEnsembleRecord {
    double Frequency = 0;  // MHz, the record's identity
    QString Channel;
    std::int32_t State = 2;  // 1 or more = included in scans
    QString Label;
};
