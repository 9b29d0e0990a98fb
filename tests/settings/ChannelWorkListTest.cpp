#include "ChannelWorkList.h"

#include <gtest/gtest.h>

using namespace tessora;

namespace {

ChannelEntry Running(int index, const QString& title, int card = 0) {
    ChannelEntry e;
    e.Channel.Config.Title = title;
    e.Channel.Config.SoundCard = card;
    e.Channel.Config.Volume = -100 * index;
    e.Channel.Config.DayListFile = QString("/lists/%1.lst").arg(index);
    e.Memo = "memo " + title;
    e.Origin = index;
    return e;
}

struct ChannelWorkListTest : ::testing::Test {
    TChannelWorkList list;
    std::vector<ChannelEntry> stored;

    ChannelWorkListTest() {
        list.OnStored = [this](const ChannelEntry& e) { stored.push_back(e); };
        list.Reset({Running(0, "一楼"), Running(1, "二楼", 1)});
    }
};

TEST(ChannelFieldsTest, ChecksInOrder) {
    struct Case {
        ChannelFields fields;
        ChannelFieldProblem problem;
    };
    const Case cases[] = {
        {{"  a ", 0, ""}, ChannelFieldProblem::None},
        {{"   ", 0, ""}, ChannelFieldProblem::NoTitle},
        {{"", -1, ""}, ChannelFieldProblem::NoTitle},
        {{"a", -1, ""}, ChannelFieldProblem::NoSoundCard},
        {{QString(51, 'x'), 0, ""}, ChannelFieldProblem::None},
        {{QString(52, 'x'), 0, ""}, ChannelFieldProblem::TitleTooLong},
        {{QString(25, QChar(0x4E00)) + "x", 0, ""}, ChannelFieldProblem::None},   // 51 bytes
        {{QString(26, QChar(0x4E00)), 0, ""}, ChannelFieldProblem::TitleTooLong}, // 52 bytes
        {{"广播😀", 0, ""}, ChannelFieldProblem::NotGbk},
    };
    for (const Case& c : cases) EXPECT_EQ(CheckChannelFields(c.fields), c.problem) << c.fields.Title.toStdString();
    EXPECT_EQ(ChannelFieldMessage(ChannelFieldProblem::NoTitle), "请填写名称");
    EXPECT_EQ(ChannelFieldMessage(ChannelFieldProblem::NoSoundCard), "请选择声卡播放");
}

TEST_F(ChannelWorkListTest, FirstSelectionOnlyLoads) {
    EXPECT_EQ(list.EditIndex(), -1);
    EXPECT_EQ(list.Select(1, {"ignored", -1, ""}), ChannelFieldProblem::None);
    EXPECT_EQ(list.EditIndex(), 1);
    EXPECT_TRUE(stored.empty());
    const ChannelFields f = list.FieldsOf(1);
    EXPECT_EQ(f.Title, "二楼");
    EXPECT_EQ(f.SoundCard, 1);
    EXPECT_EQ(f.Memo, "memo 二楼");
}

TEST_F(ChannelWorkListTest, SelectingAnotherStoresTheFieldsAsTyped) {
    list.Select(0, {});
    EXPECT_EQ(list.Select(1, {"  一楼东 ", 3, "新备注"}), ChannelFieldProblem::None);
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].Origin, 0);
    EXPECT_EQ(stored[0].Channel.Config.Title, "  一楼东 ");
    EXPECT_EQ(stored[0].Channel.Config.SoundCard, 3);
    EXPECT_EQ(stored[0].Memo, "新备注");
    // The rest of the channel stays as it was.
    EXPECT_EQ(stored[0].Channel.Config.DayListFile, "/lists/0.lst");
    EXPECT_EQ(list.Titles(), QStringList({"  一楼东 ", "二楼"}));
}

TEST_F(ChannelWorkListTest, ARefusedStoreKeepsEditing) {
    list.Select(0, {});
    EXPECT_EQ(list.Select(1, {" ", 0, ""}), ChannelFieldProblem::NoTitle);
    EXPECT_EQ(list.Select(1, {"x", -1, ""}), ChannelFieldProblem::NoSoundCard);
    EXPECT_EQ(list.EditIndex(), 0);
    EXPECT_TRUE(stored.empty());
    EXPECT_EQ(list.Titles(), QStringList({"一楼", "二楼"}));
}

TEST_F(ChannelWorkListTest, AddKeepsWhatIsEditedAndItsFields) {
    list.Select(0, {});
    EXPECT_EQ(list.Add({"三楼", 2, "新"}), ChannelFieldProblem::None);
    EXPECT_EQ(list.EditIndex(), 0);
    ASSERT_EQ(list.Entries().size(), 3u);
    const ChannelEntry& added = list.Entries()[2];
    EXPECT_EQ(added.Origin, -1);
    EXPECT_EQ(added.Channel.Config.Title, "三楼");
    EXPECT_EQ(added.Channel.Config.SoundCard, 2);
    EXPECT_EQ(added.Channel.Config.Volume, 0);
    EXPECT_EQ(added.Channel.Config.PlayState, PlayOn);
    EXPECT_EQ(added.Channel.Config.PlayMode, ListMode);
    EXPECT_TRUE(added.Channel.Config.DayListFile.isEmpty());
    // Selecting another entry now stores the same fields into the channel edited before.
    list.Select(1, {"三楼", 2, "新"});
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].Origin, 0);
    EXPECT_EQ(stored[0].Channel.Config.Title, "三楼");
}

TEST_F(ChannelWorkListTest, AddRefusesWhatSelectionRefuses) {
    EXPECT_EQ(list.Add({"", 0, ""}), ChannelFieldProblem::NoTitle);
    EXPECT_EQ(list.Add({"x", -1, ""}), ChannelFieldProblem::NoSoundCard);
    EXPECT_EQ(list.Entries().size(), 2u);
}

TEST_F(ChannelWorkListTest, EditsOfAnAddedChannelStayInTheList) {
    list.Add({"三楼", 0, ""});
    list.Select(2, {});
    list.Select(0, {"三楼B", 1, "m"});
    EXPECT_TRUE(stored.empty());  // no running channel to tell
    EXPECT_EQ(list.Entries()[2].Channel.Config.Title, "三楼B");
}

TEST_F(ChannelWorkListTest, RemoveEndsTheEdit) {
    list.Select(1, {});
    list.Remove(0);
    EXPECT_EQ(list.EditIndex(), -1);
    ASSERT_EQ(list.Entries().size(), 1u);
    EXPECT_EQ(list.Entries()[0].Origin, 1);
    list.Remove(0);
    EXPECT_TRUE(list.Entries().empty());
    list.Remove(0);  // nothing selected: nothing happens
}

}  // namespace
