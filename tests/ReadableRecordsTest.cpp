#include <nlohmann/json.hpp>

#include "TestSupport.h"
#include "compare/ReadableRecords.h"

namespace {

using Lines = std::vector<std::string>;
const std::string kTime = "01.02.2024 10:00:00 ";

Lines Records(ReadableRecords::Format format, const std::vector<std::string_view>& lines) {
  ReadableRecords records(format);
  records.AddListing(lines);
  return Lines(records.Lines().begin(), records.Lines().end());
}

}  // namespace

TEST(ReadableRecords, QuotesCsvFieldsAsRfc4180Says) {
  const std::string a = kTime + "0000000012 Bytes ____N______ /d/plain";
  const std::string b = kTime + "0000000000 Bytes _____A____R 0123456789abcdef0123456789abcdef /d/a,\"b\"\r\nc\rd";
  EXPECT_TRUE(SameLines({"path,size,datetime,attributes,digest,line",
                         "/d/plain,12,2024-02-01T10:00:00Z,____N______,,",
                         "\"/d/a,\"\"b\"\"\r\nc\rd\",0,2024-02-01T10:00:00Z,_____A____R,0123456789abcdef0123456789abcdef,",
                         ",,,,,/d/folder/", ",,,,,\"say \"\"hi\"\"\""},
                        Records(ReadableRecords::Format::Csv, {a, b, "/d/folder/", "say \"hi\""})));
}

TEST(ReadableRecords, JsonCarriesEveryNameExactly) {
  const std::string invalid = "/d/caf\xe9\xff";
  const Lines json = Records(ReadableRecords::Format::Json,
                             {kTime + "0000000123 Bytes ____N______ /d/a\r\n\"b\"\t", kTime + "12345678901 Bytes ____N______ " + invalid,
                              "damaged \xc3"});
  ASSERT_EQ(json.size(), 3u);
  const auto first = nlohmann::json::parse(json[0]);
  EXPECT_EQ(first["path"], "/d/a\r\n\"b\"\t");
  EXPECT_FALSE(first.contains("path_base64"));
  // Invalid UTF-8: U+FFFD for each bad byte, and the exact bytes in Base64.
  const auto second = nlohmann::json::parse(json[1]);
  EXPECT_EQ(second["path"], "/d/caf\xef\xbf\xbd\xef\xbf\xbd");
  EXPECT_EQ(second["path_base64"], "L2QvY2Fm6f8=");
  EXPECT_EQ(second["size"], 12345678901LL);
  EXPECT_EQ(json[2], "{\"line\":\"damaged \xef\xbf\xbd\",\"line_base64\":\"ZGFtYWdlZCDD\"}");
}

TEST(ReadableRecords, ALineThatIsNoFileLineKeepsItsRawText) {
  const std::string old = kTime + "0000000001 Bytes ____N______ /o/f";
  ComparisonResult result;
  result.Changes = {{ChangeKind::Modified, 0, 0}};
  ReadableRecords csv(ReadableRecords::Format::Csv), json(ReadableRecords::Format::Json);
  csv.AddChanges(result, {"odd: /o/f"}, {old});
  json.AddChanges(result, {"odd: /o/f"}, {old});
  EXPECT_EQ(csv.Lines().back(), "modified,,,,,,1,2024-02-01T10:00:00Z,____N______,,/o/f,odd: /o/f,");
  EXPECT_EQ(nlohmann::json::parse(json.Lines()[0])["line"], "odd: /o/f");
  EXPECT_EQ(json.Lines()[1], R"({"modified":0,"deleted":0,"added":0})");
}

TEST(ReadableRecords, AnImpossibleDateTimeKeepsTheRawLineAndAnOddOneKeepsItBeside) {
  const std::string impossible = "31.02.2024 25:61:99 0000000005 Bytes ____N______ /d/a";
  const std::string zero = "00.00.0000 00:00:00 0000000005 Bytes ____N______ /d/b";
  const std::string dots = "01.02.2024 10.00.00 00000000005 Bytes ____N______ /d/c";
  EXPECT_TRUE(SameLines({"path,size,datetime,attributes,digest,line", ",,,,," + impossible, ",,,,," + zero,
                         "/d/c,5,2024-02-01T10:00:00Z,____N______,," + dots},
                        Records(ReadableRecords::Format::Csv, {impossible, zero, dots})));
  const Lines json = Records(ReadableRecords::Format::Json, {impossible, dots});
  EXPECT_EQ(json[0], "{\"line\":\"" + impossible + "\"}");
  const auto odd = nlohmann::json::parse(json[1]);
  EXPECT_EQ(odd["datetime"], "2024-02-01T10:00:00Z");
  EXPECT_EQ(odd["line"], dots);
}
