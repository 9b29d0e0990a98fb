#pragma once
// The playable content of a standard MIDI file: every channel message and system
// exclusive message of all tracks, in time order, with its time in seconds after the
// tempo map has been applied.

#include <QString>

#include <cstdint>
#include <vector>

namespace tessora {

struct MidiMessage {
    double seconds = 0;
    std::vector<uint8_t> bytes;  // status byte first; system exclusive with its F0 ... F7

    uint8_t Kind() const { return bytes[0] & 0xF0; }  // 0x80 note off ... 0xE0 pitch bend, 0xF0 sysex
    bool StartsOrStopsNotes() const { return Kind() == 0x80 || Kind() == 0x90 || Kind() == 0xA0; }
};

struct MidiSequence {
    std::vector<MidiMessage> messages;
    double lengthSeconds = 0;  // up to the last event, the end-of-track marker included
    bool hasNotes = false;
};

// Parses the file; raises EAudioReadError when it is missing or no valid MIDI file.
MidiSequence LoadMidiSequence(const QString& fileName);

// True for files that hold a standard MIDI file, plain (".mid", ".midi") or in RIFF (".rmi"),
// whatever their name says.
bool LooksLikeMidiFile(const QString& fileName);

}  // namespace tessora
