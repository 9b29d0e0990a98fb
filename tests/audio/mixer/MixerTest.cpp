// The mixer's properties, device choice and opening, its error texts, and the position map.
#include "MixerTestSupport.h"
#include "SoundMixer.h"

#include <gtest/gtest.h>

namespace tessora {
namespace {

class CountingMixer : public TSoundMixer {
public:
    void DeviceChanged() override { ++changes; }
    int changes = 0;
};

TEST(SoundMixer, DefaultsAskForStereo16BitAt44100AtPriority) {
    TSoundMixer mixer;
    EXPECT_EQ(mixer.BitsPerSample(), bs16Bit);
    EXPECT_TRUE(mixer.Stereo());
    EXPECT_EQ(mixer.Frequency(), 44100);
    EXPECT_EQ(mixer.Level(), lPriority);
    EXPECT_EQ(mixer.SpeakerConfig(), 4u);
    EXPECT_EQ(mixer.DeviceIndex(), 0);
    EXPECT_FALSE(mixer.IsOpen());
}

TEST(SoundMixer, FrequencyIsClampedTo100Through100000) {
    const struct {
        int32_t set, expected;
    } cases[] = {{50, 100}, {-5, 100}, {100, 100}, {22050, 22050}, {100000, 100000}, {200000, 100000}};
    for (const auto& c : cases) {
        TSoundMixer mixer;
        mixer.SetFrequency(c.set);
        EXPECT_EQ(mixer.Frequency(), c.expected) << c.set;
    }
}

TEST(SoundMixer, ListsTheVirtualOutputsWithoutOpeningAnything) {
    TSoundMixer mixer;
    ASSERT_EQ(TSoundMixer::DeviceCount(), 4);
    EXPECT_EQ(TSoundMixer::DeviceName(0), "Virtual output 1");
    EXPECT_EQ(TSoundMixer::DeviceName(3), "Virtual output 4");
    EXPECT_EQ(TSoundMixer::DeviceGuids().size(), 4);
    EXPECT_FALSE(mixer.IsOpen());
}

TEST(SoundMixer, DeviceIndexOutOfRangeKeepsThePreviousOne) {
    const struct {
        int first, second, expected;
    } cases[] = {{-1, -1, 0}, {4, 4, 0}, {2, -1, 2}, {2, 4, 2}, {1, 3, 3}};
    for (const auto& c : cases) {
        TSoundMixer mixer;
        mixer.SetDeviceIndex(c.first);
        mixer.SetDeviceIndex(c.second);
        EXPECT_EQ(mixer.DeviceIndex(), c.expected) << c.first << " then " << c.second;
    }
}

TEST(SoundMixer, DeviceChangedFollowsOpenAndCloseOnly) {
    CountingMixer mixer;
    mixer.CloseDevice();  // never opened: nothing to do
    EXPECT_EQ(mixer.changes, 0);
    mixer.OpenDevice();
    EXPECT_TRUE(mixer.IsOpen());
    EXPECT_EQ(mixer.changes, 1);
    mixer.OpenDevice();  // already open
    EXPECT_EQ(mixer.changes, 1);
    mixer.CloseDevice();
    EXPECT_FALSE(mixer.IsOpen());
    EXPECT_EQ(mixer.changes, 2);
}

TEST(SoundMixer, ReadsBackTheFormatTheDeviceKept) {
    const struct {
        TMixerLevel level;
        int32_t frequency;
        bool stereo;
        TMixerBitsPerSample bits;
        int32_t expectedFrequency;
    } cases[] = {
        {lPriority, 4000, true, bs16Bit, 8000},   // below what a virtual output can do
        {lPriority, 22050, false, bs8Bit, 22050},
        {lExclusive, 48000, true, bs16Bit, 48000},
        {lNormal, 4000, false, bs8Bit, 4000},  // the primary format is left alone
    };
    for (const auto& c : cases) {
        TSoundMixer mixer;
        mixer.SetLevel(c.level);
        mixer.SetFrequency(c.frequency);
        mixer.SetStereo(c.stereo);
        mixer.SetBitsPerSample(c.bits);
        mixer.OpenDevice();
        EXPECT_EQ(mixer.Frequency(), c.expectedFrequency) << c.frequency;
        EXPECT_EQ(mixer.Stereo(), c.stereo);
        EXPECT_EQ(mixer.BitsPerSample(), c.bits);
        const PcmFormat kept = mixer.GetDevice()->Format();
        if (c.level != lNormal) {
            EXPECT_EQ(kept.sampleRate, uint32_t(c.expectedFrequency));
            EXPECT_EQ(kept.channels, c.stereo ? 2 : 1);
        }
    }
}

TEST(SoundMixer, AnExclusiveOpenMakesTheOutputBusyForOthers) {
    TSoundMixer owner;
    owner.SetDeviceIndex(2);
    owner.SetLevel(lExclusive);
    owner.OpenDevice();
    TSoundMixer other;
    other.SetDeviceIndex(2);
    try {
        other.OpenDevice();
        FAIL() << "opened a device held exclusively";
    } catch (const EDirectXError& e) {
        EXPECT_EQ(e.ErrorCode, 0x8878000A);
        EXPECT_STREQ(e.what(),
                     "The request failed because resources, such as a priority level, were already in use by another "
                     "caller.");
    }
    EXPECT_FALSE(other.IsOpen());
    TSoundMixer elsewhere;  // other outputs are free
    elsewhere.SetDeviceIndex(1);
    EXPECT_NO_THROW(elsewhere.OpenDevice());
    owner.CloseDevice();
    EXPECT_NO_THROW(other.OpenDevice());
    // Shared opens of one output are fine, and keep an exclusive one out.
    TSoundMixer second;
    second.SetDeviceIndex(2);
    EXPECT_NO_THROW(second.OpenDevice());
    EXPECT_THROW(owner.OpenDevice(), EDirectXError);
}

TEST(SoundMixer, SpeakerConfigReachesAnOpenDevice) {
    TSoundMixer mixer;
    mixer.SetSpeakerConfig(5);
    mixer.OpenDevice();
    mixer.SetSpeakerConfig(4);
    EXPECT_EQ(mixer.SpeakerConfig(), 4u);
}

TEST(SoundMixer, ChannelsDetachOnDestructionAndTheMixerFreesTheRest) {
    auto* mixer = new TSoundMixer;
    auto* first = new TSoundMixerChannel(mixer);
    auto* second = new TSoundMixerChannel(mixer);
    ASSERT_EQ(mixer->ChannelList().size(), 2u);
    EXPECT_EQ(mixer->ChannelList()[0], first);
    delete first;
    ASSERT_EQ(mixer->ChannelList().size(), 1u);
    EXPECT_EQ(mixer->ChannelList()[0], second);
    delete mixer;  // frees `second`
}

TEST(SoundMixer, OwnerFreesTheMixer) {
    auto* owner = new QObject;
    auto* mixer = new TSoundMixer(owner);
    new TSoundMixerChannel(mixer);
    bool destroyed = false;
    QObject::connect(mixer, &QObject::destroyed, [&] { destroyed = true; });
    delete owner;
    EXPECT_TRUE(destroyed);
}

TEST(DirectXError, TextsByResultCode) {
    const struct {
        AudioResult code;
        const char* text;
    } cases[] = {
        {0x88780078, "No sound driver is available for use."},
        {0x88780064, "The specified wave format is not supported."},
        {0x88780096, "The buffer memory has been lost and must be restored."},
        {0x80070057, "An invalid parameter was passed to the returning function."},
        {0x80004005, "An undetermined error occurred inside the DirectSound subsystem."},
        {0x12345678, "Unrecognized Error"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DirectXErrorText(c.code).toStdString(), c.text);
        try {
            CheckAudioResult(c.code);
            ADD_FAILURE() << "no exception for " << c.code;
        } catch (const EDirectXError& e) {
            EXPECT_EQ(e.ErrorCode, int64_t(c.code));
            EXPECT_STREQ(e.what(), c.text);
        }
    }
    EXPECT_NO_THROW(CheckAudioResult(0));
}

TEST(PositionTimes, InterpolatesInsideTheNewestCoveringRange) {
    TPositionTimes map;
    map.Clear();
    map.Record(0, 1000, 0, 100000);       // 0..10 ms
    map.Record(1000, 2000, 100000, 200000);
    EXPECT_EQ(map.GetPosTime(0), 0);
    EXPECT_EQ(map.GetPosTime(500), 5);
    EXPECT_EQ(map.GetPosTime(1999), 19);
    map.Record(0, 1000, 5000000, 5100000);  // rewritten after a seek: the newest wins
    EXPECT_EQ(map.GetPosTime(500), 505);
    EXPECT_THROW(map.GetPosTime(2000), EAssertionFailed);
}

TEST(PositionTimes, RefusesInvertedRanges) {
    TPositionTimes map;
    map.Clear();
    EXPECT_THROW(map.Record(0, 10, 20, 10), EAssertionFailed);
    EXPECT_THROW(map.Record(10, 10, 0, 0), EAssertionFailed);
    EXPECT_NO_THROW(map.Record(10, 20, 7, 7));  // silence: no time passes
    EXPECT_EQ(map.GetPosTime(15), 0);
}

TEST(PositionTimes, TheOldestRecordIsForgottenAfterFortyNineNewerOnes) {
    TPositionTimes map;
    map.Clear();
    map.Record(0, 10, 10000, 10000);
    for (int i = 1; i < 49; ++i) map.Record(100 * i, 100 * i + 10, 0, 0);
    EXPECT_EQ(map.GetPosTime(5), 1);  // still among the 49 looked at
    map.Record(5000, 5010, 0, 0);     // the 50th: the first record's slot is written next
    try {
        map.GetPosTime(5);
        FAIL() << "found a record in the slot written next";
    } catch (const EAssertionFailed& e) {
        EXPECT_NE(std::string(e.what()).find("Internal Error: unable to GetPosTime"), std::string::npos);
    }
}

}  // namespace
}  // namespace tessora
