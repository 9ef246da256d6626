// Proves the bench: the program runs under Wine with the Japanese ANSI code page
// and can read a resource linked into it.
#include <windows.h>

#include <gtest/gtest.h>
#include <string>

TEST(WineBench, AnsiCodePageIsJapanese)
{
    EXPECT_EQ(GetACP(), 932u);
}

TEST(WineBench, ReadsAnRcdataResourceLinkedIntoTheProgram)
{
    HRSRC found = FindResourceA(nullptr, "SMOKE", MAKEINTRESOURCEA(10));
    ASSERT_NE(found, nullptr);
    HGLOBAL loaded = LoadResource(nullptr, found);
    ASSERT_NE(loaded, nullptr);
    const auto* bytes = static_cast<const char*>(LockResource(loaded));
    EXPECT_EQ(std::string(bytes, SizeofResource(nullptr, found)), "bench ok");
}
