// Decodes one file through the audio file reader as fast as it goes, in blocks the size
// a mixer channel asks for, and prints what came out.
//   reader_bench FILE [BLOCK_BYTES]

#include "AudioFileRead.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: reader_bench FILE [BLOCK_BYTES]\n");
        return 2;
    }
    const uint32_t block = argc > 2 ? uint32_t(std::strtoul(argv[2], nullptr, 10)) : 70560;  // 400 ms of CD sound
    try {
        const auto start = std::chrono::steady_clock::now();
        tessora::TAudioFileReader reader(QString::fromLocal8Bit(argv[1]));
        std::vector<uint8_t> buffer(block);
        uint64_t bytes = 0, checksum = 0;
        while (const uint32_t got = reader.Read(buffer.data(), block)) {
            bytes += got;
            checksum += buffer[got / 2];
        }
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const auto& f = reader.WaveFormat();
        const double audio = double(bytes) / f.nAvgBytesPerSec;
        std::printf("%llu bytes (%.3f s of %u Hz %u-bit %u ch sound, %.0fx real time) in %.3f s, checksum %llu\n",
                    (unsigned long long)bytes, audio, f.nSamplesPerSec, f.wBitsPerSample, f.nChannels,
                    audio / seconds, seconds, (unsigned long long)checksum);
    } catch (const tessora::EAudioReadError& e) {
        std::fprintf(stderr, "%s (code %lld)\n", e.what(), (long long)e.ErrorCode);
        return 1;
    }
    return 0;
}
