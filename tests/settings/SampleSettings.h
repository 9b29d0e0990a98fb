#pragma once
// A set of settings in which every field differs from its default.

#include "DateTimeValue.h"
#include "SettingsStore.h"

namespace tessora::test {

inline SystemSettings SampleSettings() {
    SystemSettings s;
    s.Password = "pw";
    s.CheckPassOnInOut = true;
    s.AutoShutDownTime = TimeValue(7, 30, 0);
    s.AutoShutDown = true;
    s.ShowPlayer = true;
    s.ShowListDetail = false;
    s.SystemName = "一中广播";
    s.ShowSystemName = true;
    s.MusicDirectory = "/srv/music";
    s.ListDirectory = "/srv/list";
    s.TemplateDirectory = "/srv/template";
    s.PreviewDeviceID = 1;
    s.PlayingInterval = 5;
    s.PreviewVolume = -300;
    return s;
}

}  // namespace tessora::test
