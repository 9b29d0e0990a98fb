#include "IniFile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tessora;
    TIniFile ini;
    ini.Parse(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    (void)ini.ReadString("tessora", "skin", "Corner");
    (void)ini.ReadInteger("tessora", "splitter1", 400);
    (void)ini.ReadBool("tessora", "bShowPlayer", true);
    ini.Write("tessora", "skin", "Blue");
    ini.WriteInteger("new", "n", 1);
    (void)ini.Serialize();
    return 0;
}
