#include <algorithm>

#include "TestSupport.h"
#include "platform/RegionalSettings.h"
#include "platform/Vexmd5.h"
#include "platform/WideText.h"

namespace {

std::string Md5Of(const std::string& data, std::size_t step) {
  md5_context context;
  md5_starts(&context);
  for (std::size_t at = 0; at < data.size(); at += step) {
    const std::size_t count = std::min(step, data.size() - at);
    md5_update(&context, reinterpret_cast<const unsigned char*>(data.data() + at), static_cast<std::uint32_t>(count));
  }
  unsigned char digest[16];
  md5_finish(&context, digest);
  char text[33];
  md5_toHexStr(text, digest);
  return text;
}

}  // namespace

TEST(Vexmd5, Rfc1321TestSuiteInAnyBlockSize) {
  const std::pair<std::string, std::string> suite[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const auto& [input, digest] : suite) {
    EXPECT_EQ(Md5Of(input, 512), digest) << input;
    EXPECT_EQ(Md5Of(input, 1), digest) << input;
    EXPECT_EQ(Md5Of(input, 7), digest) << input;
  }
}

TEST(RegionalSettings, TakesTheTimeSeparatorFromTheTimeFormat) {
  EXPECT_EQ(RegionalSettings::TimeSeparatorFromFormat("%H:%M:%S"), ":");
  EXPECT_EQ(RegionalSettings::TimeSeparatorFromFormat("%H.%M.%S"), ".");
  EXPECT_EQ(RegionalSettings::TimeSeparatorFromFormat("%I:%M:%S %p"), ":");
  EXPECT_EQ(RegionalSettings::TimeSeparatorFromFormat("%T"), ":");
  EXPECT_EQ(RegionalSettings::TimeSeparatorFromFormat("%Hh%Mm%Ss"), "h");
  EXPECT_EQ(RegionalSettings::TimeSeparatorFromFormat("%H%M%S"), ":");
  EXPECT_EQ(RegionalSettings::TimeSeparatorFromFormat(""), ":");
}


TEST(WideText, CarriesEveryNameBetweenUtf8AndUtf16WithoutLoss) {
  // ASCII, two- and three-byte characters, and one beyond the first plane.
  const std::string name = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
  EXPECT_EQ(WideText::ToUtf16(name), (std::u16string{u'a', 0x00E9, 0x20AC, 0xD83D, 0xDE00}));
  EXPECT_EQ(WideText::ToUtf8(WideText::ToUtf16(name)), name);
  // A lone surrogate, which a Windows name may hold, survives the way there and back.
  const std::u16string lone{u'x', 0xD800, u'y', 0xDC01};
  EXPECT_EQ(WideText::ToUtf16(WideText::ToUtf8(lone)), lone);
  // Bytes that begin no UTF-8 sequence, overlong forms included, become U+FFFD.
  EXPECT_EQ(WideText::ToUtf16("\xE9t\xC0\xAF"), (std::u16string{0xFFFD, u't', 0xFFFD, 0xFFFD}));
  EXPECT_EQ(WideText::ToUtf16("\xE2\x82"), (std::u16string{0xFFFD, 0xFFFD}));
}

TEST(WideText, LiftsThePathLimitOfDrivesAndSharesOnly) {
  EXPECT_EQ(WideText::ExtendedLength("C:\\a\\b.txt"), "\\\\?\\C:\\a\\b.txt");
  EXPECT_EQ(WideText::ExtendedLength("c:/a/*.*"), "\\\\?\\c:\\a\\*.*");
  EXPECT_EQ(WideText::ExtendedLength("\\\\server\\share\\x"), "\\\\?\\UNC\\server\\share\\x");
  EXPECT_EQ(WideText::ExtendedLength("\\\\?\\C:\\a"), "\\\\?\\C:\\a");
  EXPECT_EQ(WideText::ExtendedLength("relative/name"), "relative/name");
  EXPECT_EQ(WideText::ExtendedLength("/home/u"), "/home/u");
}
