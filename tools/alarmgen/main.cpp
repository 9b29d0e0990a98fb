// tessora-alarmgen OUT.wav: writes the station's alarm recording (the build puts it into the
// program folder, and among the files shipped for new station folders, as "alarm.wav").
#include "AlarmTone.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tessora-alarmgen OUT.wav\n");
        return 2;
    }
    const std::filesystem::path target = argv[1];
    std::filesystem::path temporary = target;
    temporary += ".tmp";
    const std::vector<uint8_t> wav = tessora::AlarmTone::WavFile();
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(wav.data()), std::streamsize(wav.size()));
        if (!out.flush()) {
            std::fprintf(stderr, "tessora-alarmgen: cannot write %s\n", temporary.c_str());
            return 1;
        }
    }
    std::error_code error;
    std::filesystem::rename(temporary, target, error);
    if (error) {
        std::fprintf(stderr, "tessora-alarmgen: %s: %s\n", target.c_str(), error.message().c_str());
        return 1;
    }
    return 0;
}
