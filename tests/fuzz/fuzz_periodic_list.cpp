#include "PeriodicList.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tessora;
    const PeriodicList lines = ParsePeriodicList(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    for (const QDate date : {QDate(2024, 12, 31), QDate(2025, 3, 1), QDate(2026, 12, 6)}) (void)ResolveDayList(lines, date);
    (void)SerializePeriodicList(lines);
    return 0;
}
