#include "IniFile.h"

#include <gtest/gtest.h>

using namespace tessora;

TEST(IniFile, ReadsKeysAndSectionsWithoutRegardToCase) {
    TIniFile ini;
    ini.Parse("; station\r\n[other]\r\nskin=Wrong\r\n[TESSORA]\r\nBSHOWPLAYER=0\r\n  Skin = Blue  \r\nname=\"quoted\"\r\n"
              "SystemName=\xB9\xE3\xB2\xA5\r\nempty=\r\n");
    EXPECT_EQ(ini.ReadBool("tessora", "bShowPlayer", true), false);
    EXPECT_EQ(ini.ReadString("tessora", "skin", "x"), "Blue");
    EXPECT_EQ(ini.ReadString("tessora", "NAME", "x"), "quoted");
    EXPECT_EQ(ini.ReadString("tessora", "SystemName", "x"), "广播");
    EXPECT_EQ(ini.ReadString("tessora", "empty", "x"), "");
    EXPECT_EQ(ini.ReadString("tessora", "missing", "x"), "x");
    EXPECT_EQ(ini.ReadString("absent", "skin", "x"), "x");
}

TEST(IniFile, NumbersAndBooleansFallBackWhenUnreadable) {
    TIniFile ini;
    ini.Parse("[s]\nn=42\nneg=-7\nbad=4x\nb0=0\nb5=5\nbtext=yes\n");
    struct IntCase { const char* key; int expected; };
    for (const IntCase& c : {IntCase{"n", 42}, IntCase{"neg", -7}, IntCase{"bad", 9}, IntCase{"none", 9}})
        EXPECT_EQ(ini.ReadInteger("s", c.key, 9), c.expected) << c.key;
    struct BoolCase { const char* key; bool fallback, expected; };
    for (const BoolCase& c : {BoolCase{"b0", true, false}, BoolCase{"b5", false, true}, BoolCase{"btext", true, true},
                              BoolCase{"btext", false, false}})
        EXPECT_EQ(ini.ReadBool("s", c.key, c.fallback), c.expected) << c.key;
}

TEST(IniFile, WritesChangeOnlyTheirOwnLines) {
    TIniFile ini;
    const QByteArray original = "; keep me\r\n[tessora]\r\nSKIN=Old\r\nforeign=1\r\n\r\n[other]\r\nx=\xFF\xFE\r\n";
    ini.Parse(original);
    ini.Write("tessora", "skin", "New");
    ini.Write("Tessora", "added", "v");
    ini.Write("third", "k", "值");
    ini.Write("tessora", "broken", "two\r\nlines");
    EXPECT_EQ(ini.Serialize(), QByteArray("; keep me\r\n[tessora]\r\nskin=New\r\nforeign=1\r\nadded=v\r\nbroken=two  lines\r\n\r\n"
                                          "[other]\r\nx=\xFF\xFE\r\n[third]\r\nk=\xD6\xB5\r\n"));
}

TEST(IniFile, KeepsTheFilesLineEndings) {
    TIniFile ini;
    ini.Parse("[s]\na=1\n");
    ini.Write("s", "b", "2");
    EXPECT_EQ(ini.Serialize(), QByteArray("[s]\na=1\nb=2\n"));
    TIniFile fresh;
    fresh.Parse({});
    fresh.Write("s", "a", "1");
    EXPECT_EQ(fresh.Serialize(), QByteArray("[s]\r\na=1\r\n"));
}
