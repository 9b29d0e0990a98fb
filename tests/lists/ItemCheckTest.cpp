#include "DateTimeValue.h"
#include "ItemCheck.h"

#include <gtest/gtest.h>

using namespace tessora;

TEST(ItemCheck, RefusesWhatTheEditorRefuses) {
    const auto item = [](double start, double end, QString source, QString title = "t", QString memo = "") {
        PlayItem i;
        i.StartTime = start;
        i.EndTime = end;
        i.Source = source;
        i.Title = title;
        i.Memo = memo;
        return i;
    };
    const double eight = TimeValue(8, 0, 0), nine = TimeValue(9, 0, 0);
    struct Case { PlayItem item; ItemProblem problem; };
    const Case cases[] = {
        {item(eight, nine, "/a.wav"), ItemProblem::None},
        {item(eight, eight, "/a.wav"), ItemProblem::StartNotBeforeEnd},
        {item(nine, eight, "/a.wav"), ItemProblem::StartNotBeforeEnd},
        {item(eight, nine, ""), ItemProblem::NothingToPlay},
        {item(eight, nine, "/a.wav", QString("铃").repeated(25)), ItemProblem::None},
        {item(eight, nine, "/a.wav", QString("铃").repeated(25) + "x"), ItemProblem::TitleTooLong},
        {item(eight, nine, "/" + QString("a").repeated(255)), ItemProblem::SourceTooLong},
        {item(eight, nine, "/a.wav", "t", QString("备").repeated(128)), ItemProblem::MemoTooLong},
        {item(eight, nine, "/a.wav", QString::fromUtf8("\xF0\x9F\x94\x94")), ItemProblem::NotGbk},
    };
    for (const Case& c : cases) EXPECT_EQ(CheckPlayItem(c.item), c.problem) << c.item.Title.toStdString();
    EXPECT_EQ(ItemProblemText(ItemProblem::StartNotBeforeEnd).Chinese, "开始日期必须在结束日期之前");
    EXPECT_EQ(ItemProblemText(ItemProblem::NothingToPlay).Chinese, "请选择播放内容");
}

TEST(ItemCheck, EndTimeFromTheFileLengthDropsTheMilliseconds) {
    struct Case { double start; uint32_t lengthMs; QString end; };
    const Case cases[] = {
        {TimeValue(7, 58, 0), 200500, "08:01:20"},  // 3 min 20.5 s
        {TimeValue(8, 0, 0), 999, "08:00:00"},
        {TimeValue(23, 59, 30), 45000, "00:00:15"},  // past midnight: the next day's time of day
    };
    for (const Case& c : cases) EXPECT_EQ(FormatTimeOfDay(EndTimeFromLength(c.start, c.lengthMs)), c.end);
    EXPECT_LT(EndTimeFromLength(TimeValue(23, 59, 30), 45000), 1.0);
}
