// Tests of VOptionBase: full names and the invalid value message with its cut of long values.
#include "cmdline/VOptionBase.h"

#include "cmdline/VArgOption.h"
#include "cmdline/VCommandLineParser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using vkit::VCommandLineParser;
using vkit::VString;
using vkit::Private::CommandLineParser::VArgOption;
using vkit::Private::CommandLineParser::VOptionBase;

namespace {

std::string FullName(const VOptionBase& inOption) {
    VString name("[");
    bool named = inOption.AppendFullName(name);
    return (named ? "named " : "unnamed ") + name.ToUTF8();
}

/// The message written when the option rejects inValue.
std::string Rejection(VOptionBase& ioOption, const std::string& inValue) {
    std::vector<VString> arguments{VString("prog")};
    VCommandLineParser parser(arguments);
    ::testing::internal::CaptureStderr();
    int result = ioOption.AppendArgument(parser, VString(inValue.c_str()));
    std::string message = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(result, 1);
    return message;
}

TEST(VOptionBaseTest, FullNames) {
    EXPECT_EQ(FullName(VOptionBase(u'p', VString("pid"), VString(), true)), "named [-p, --pid");
    EXPECT_EQ(FullName(VOptionBase(u'p', VString(), VString(), true)), "named [-p");
    EXPECT_EQ(FullName(VOptionBase(u' ', VString("pid"), VString(), true)), "named [--pid");
    EXPECT_EQ(FullName(VOptionBase(0, VString("pid"), VString(), true)), "named [--pid");
    EXPECT_EQ(FullName(VOptionBase(u' ', VString(), VString(), false)), "unnamed [");
}

TEST(VOptionBaseTest, BaseEntryAcceptsNoValue) {
    VOptionBase paragraph(u' ', VString(), VString("text"), false);
    std::vector<VString> arguments{VString("prog")};
    VCommandLineParser parser(arguments);
    EXPECT_NE(paragraph.AppendArgument(parser, VString("x")), 0);
    EXPECT_FALSE(paragraph.IsOption());
}

TEST(VOptionBaseTest, InvalidValueMessages) {
    int pid = 0;
    VArgOption<int> option(u' ', VString("pid"), &pid, VString(), true);
    EXPECT_EQ(Rejection(option, "abc"),
              "invalid value for argument '--pid' got \"abc\" expected a signed integral\n");
    EXPECT_EQ(Rejection(option, ""),
              "invalid value for argument '--pid' got empty value expected a signed integral\n");

    bool flag = false;
    VArgOption<bool> anonymous(u' ', VString(), &flag, VString(), true);
    EXPECT_EQ(Rejection(anonymous, "maybe"),
              "invalid value for argument '<anonymous>' got \"maybe\" expected 0, 1, true or false\n");

    unsigned int count = 0;
    VArgOption<unsigned int> both(u'c', VString("count"), &count, VString(), true);
    EXPECT_EQ(Rejection(both, "x"),
              "invalid value for argument '-c, --count' got \"x\" expected an unsigned integral\n");
}

TEST(VOptionBaseTest, ValuesOverEightyCharactersAreCut) {
    int pid = 0;
    VArgOption<int> option(u' ', VString("pid"), &pid, VString(), true);
    std::string eighty(80, 'a');
    EXPECT_EQ(Rejection(option, eighty),
              "invalid value for argument '--pid' got \"" + eighty + "\" expected a signed integral\n");
    EXPECT_EQ(Rejection(option, eighty + "bc"),
              "invalid value for argument '--pid' got \"" + eighty + "...\" expected a signed integral\n");
}

} // namespace
