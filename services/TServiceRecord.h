#pragma once

#include <QChar>
#include <QString>
#include <cstdint>

struct TServiceRecord {
    std::int32_t ServiceID = 0;
    std::uint32_t SId = 0;
    std::int32_t Secondary = 0;
    double Frequency = 0;  // MHz; 0 = none recorded
    QString Label;
    QChar Kind = u' ';  // 'A', 'D', 'T' or blank
    std::int32_t ProgrammeType = 0;
};
