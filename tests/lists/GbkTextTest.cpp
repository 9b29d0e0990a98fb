#include "GbkText.h"

#include <gtest/gtest.h>

#include <array>

using namespace tessora;

TEST(GbkText, RoundTripsChineseAndAscii) {
    for (const QString& text : {QString("上课铃 08:00"), QString(""), QString("周一·午间"), QString("C:\\广播\\铃声.wav")}) {
        EXPECT_EQ(DecodeGbk(EncodeGbk(text)), text);
        EXPECT_TRUE(FitsGbk(text));
    }
    EXPECT_EQ(EncodeGbk("上"), QByteArray("\xC9\xCF"));
    EXPECT_EQ(GbkLength("上课a"), 5);
}

TEST(GbkText, CharactersGbkCannotHoldAreReplacedVisibly) {
    const QString emoji = QString::fromUtf8("铃\xF0\x9F\x94\x94!");  // a bell emoji between
    EXPECT_FALSE(FitsGbk(emoji));
    EXPECT_EQ(EncodeGbk(emoji), QByteArray("\xC1\xE5?!"));
    EXPECT_FALSE(FitsGbk(QString::fromUtf8("\xE0\xB8\x81")));  // Thai
}

TEST(GbkText, CutNeverSplitsADoubleByteCharacter) {
    const QByteArray gbk = EncodeGbk("a上课");  // 1 + 2 + 2 bytes
    struct Case { qsizetype max; QByteArray expected; };
    for (const Case& c : {Case{5, gbk}, Case{4, gbk.left(3)}, Case{3, gbk.left(3)}, Case{2, gbk.left(1)}, Case{0, {}}})
        EXPECT_EQ(CutGbk(gbk, c.max), c.expected) << c.max;
}

TEST(GbkText, FieldsAreZeroPaddedAndNeverSpill) {
    std::array<char, 8> record;
    record.fill('X');
    WriteGbkField(std::span(record).subspan(0, 5), "上课铃", 4);  // 6 bytes of text, room for 4
    EXPECT_EQ(QByteArray(record.data(), 8), QByteArray("\xC9\xCF\xBF\xCE\0XXX", 8));
    EXPECT_EQ(ReadGbkField(std::span<const char>(record).subspan(0, 5)), "上课");

    WriteGbkField(std::span(record).subspan(0, 5), "abcdefg", 5);  // fills the field to the brim
    EXPECT_EQ(QByteArray(record.data(), 8), QByteArray("abcdeXXX", 8));
    EXPECT_EQ(ReadGbkField(std::span<const char>(record).subspan(0, 5)), "abcde");
}

TEST(GbkText, SplitsLinesAtEveryTerminator) {
    struct Case { QByteArray text; QList<QByteArray> lines; };
    const Case cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\n", {"a"}},
        {"a\r\nb", {"a", "b"}},
        {"a\rb\nc\r\n", {"a", "b", "c"}},
        {"\r\n\r\n", {"", ""}},
        {"\n\r", {"", ""}},
        {"a\n\nb", {"a", "", "b"}},
    };
    for (const Case& c : cases) EXPECT_EQ(SplitTextLines(c.text), c.lines) << c.text.toStdString();
}
