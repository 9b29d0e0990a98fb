#include "DateTimeValue.h"
#include "SampleSettings.h"
#include "SettingsForm.h"

#include <gtest/gtest.h>

using namespace tessora;
using tessora::test::SampleSettings;

namespace {


bool Same(const SystemSettings& a, const SystemSettings& b) {
    return a.Password == b.Password && a.CheckPassOnInOut == b.CheckPassOnInOut &&
           TimeOfDayMs(a.AutoShutDownTime) == TimeOfDayMs(b.AutoShutDownTime) && a.AutoShutDown == b.AutoShutDown &&
           a.ShowPlayer == b.ShowPlayer && a.ShowListDetail == b.ShowListDetail && a.SystemName == b.SystemName &&
           a.ShowSystemName == b.ShowSystemName && a.MusicDirectory == b.MusicDirectory &&
           a.ListDirectory == b.ListDirectory && a.TemplateDirectory == b.TemplateDirectory &&
           a.PreviewDeviceID == b.PreviewDeviceID && a.PlayingInterval == b.PlayingInterval &&
           a.PreviewVolume == b.PreviewVolume;
}

TEST(SettingsFormTest, UnchangedFieldsGiveTheSameSettings) {
    const SystemSettings s = SampleSettings();
    const SettingsFormResult result = SettingsFromFields(FieldsFromSettings(s), s);
    ASSERT_TRUE(result.Settings);
    EXPECT_TRUE(Same(*result.Settings, s));
    EXPECT_EQ(result.Settings->AutoShutDownTime, TimeValue(7, 30, 0));  // no date part
}

TEST(SettingsFormTest, TheTimeShowsTwoDigitHoursAndDropsTheDate) {
    SystemSettings s = SampleSettings();
    s.AutoShutDownTime = 45000 + TimeValue(7, 30, 5);
    EXPECT_EQ(FieldsFromSettings(s).ShutDownTime, "07:30:05");
    EXPECT_EQ(FieldsFromSettings(s).PlayingInterval, "5");
}

TEST(SettingsFormTest, EveryFieldIsTaken) {
    SettingsFormFields f;
    f.ShowSystemName = false;
    f.SystemName = "新名";
    f.AutoShutDown = true;
    f.ShutDownTime = "23:59:58";
    f.Password = "";
    f.CheckPassOnInOut = true;
    f.MusicDirectory = "/m";
    f.ListDirectory = "/l";
    f.TemplateDirectory = "/t";
    f.PlayingInterval = "-3";
    f.PreviewDevice = -1;
    const SystemSettings current = SampleSettings();
    const SettingsFormResult result = SettingsFromFields(f, current);
    ASSERT_TRUE(result.Settings) << result.Error.toStdString();
    EXPECT_EQ(FieldsFromSettings(*result.Settings), f);
    // What the dialog does not show stays.
    EXPECT_EQ(result.Settings->ShowPlayer, current.ShowPlayer);
    EXPECT_EQ(result.Settings->ShowListDetail, current.ShowListDetail);
    EXPECT_EQ(result.Settings->PreviewVolume, current.PreviewVolume);
}

struct TimeCase {
    const char* text;
    int hours, minutes, seconds;  // -1 hours: refused
};

class ShutDownTimeTest : public ::testing::TestWithParam<TimeCase> {};

INSTANTIATE_TEST_SUITE_P(Texts, ShutDownTimeTest,
                         ::testing::Values(TimeCase{"07:30:00", 7, 30, 0}, TimeCase{"7 :30:00", 7, 30, 0},
                                           TimeCase{" 7:30:00", 7, 30, 0}, TimeCase{"23:59:59", 23, 59, 59},
                                           TimeCase{"00:00:00", 0, 0, 0}, TimeCase{"24:00:00", -1, 0, 0},
                                           TimeCase{"12:60:00", -1, 0, 0}, TimeCase{"12:00:60", -1, 0, 0},
                                           TimeCase{"  :  :  ", -1, 0, 0}, TimeCase{"12:3 :00", -1, 0, 0},
                                           TimeCase{"12:30: 0", -1, 0, 0}, TimeCase{"", -1, 0, 0}));

TEST_P(ShutDownTimeTest, ReadsTheMaskedText) {
    const TimeCase c = GetParam();
    SettingsFormFields f = FieldsFromSettings(SampleSettings());
    f.ShutDownTime = c.text;
    const SettingsFormResult result = SettingsFromFields(f, SampleSettings());
    if (c.hours < 0) {
        EXPECT_FALSE(result.Settings);
        EXPECT_EQ(result.Error, QString("“%1”不是有效的时间（时:分:秒，如 17:00:00）").arg(c.text));
    } else {
        ASSERT_TRUE(result.Settings);
        EXPECT_EQ(result.Settings->AutoShutDownTime, TimeValue(c.hours, c.minutes, c.seconds));
    }
}

TEST(SettingsFormTest, AnInvalidFieldTakesNothing) {
    // Refused by the time, by the interval, or by a character the settings file cannot hold;
    // the first invalid field in the dialog's order is the one named.
    struct Case {
        QString time, interval, name, error;
    };
    const Case cases[] = {
        {"25:00:00", "x", "名", "“25:00:00”不是有效的时间（时:分:秒，如 17:00:00）"},
        {"08:00:00", "1.5", "名", "“1.5”不是有效的整数"},
        {"08:00:00", "", "名", "“”不是有效的整数"},
        {"08:00:00", "99999999999", "名", "“99999999999”不是有效的整数"},
        {"08:00:00", "3", "广播😀", "含有无法保存的字符"},
    };
    for (const Case& c : cases) {
        SettingsFormFields f = FieldsFromSettings(SampleSettings());
        f.Password = "changed";
        f.ShutDownTime = c.time;
        f.PlayingInterval = c.interval;
        f.SystemName = c.name;
        const SettingsFormResult result = SettingsFromFields(f, SampleSettings());
        EXPECT_FALSE(result.Settings) << c.error.toStdString();
        EXPECT_EQ(result.Error, c.error);
    }
}

}  // namespace
