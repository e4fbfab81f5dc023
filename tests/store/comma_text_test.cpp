#include "store/comma_text.h"

#include <gtest/gtest.h>

namespace {

using store::JoinCommaText;
using store::SplitCommaText;
using Cells = QList<QByteArray>;

TEST(CommaTextWriting, QuotesOnlyCellsWithBlanksControlBytesQuotesOrCommas) {
  EXPECT_EQ(JoinCommaText({"1", "A", "01 02"}), QByteArray("1,A,\"01 02\""));
  EXPECT_EQ(JoinCommaText({"2", "B C", "7F"}), QByteArray("2,\"B C\",7F"));
  EXPECT_EQ(JoinCommaText({"a\tb", "x,y", "say \"hi\""}),
            QByteArray("\"a\tb\",\"x,y\",\"say \"\"hi\"\"\""));
  EXPECT_EQ(JoinCommaText({"quote\"only"}), QByteArray("\"quote\"\"only\""));
}

TEST(CommaTextWriting, WritesEmptyCellsAsNothingButALoneEmptyCellAsTwoQuotes) {
  EXPECT_EQ(JoinCommaText({"4", "", ""}), QByteArray("4,,"));
  EXPECT_EQ(JoinCommaText({""}), QByteArray("\"\""));
  EXPECT_EQ(JoinCommaText({}), QByteArray());
}

TEST(CommaTextWriting, NeverQuotesBecauseOfBytesInsideMultiByteCharacters) {
  const QByteArray chinese = QStringLiteral("报文名称").toUtf8();
  EXPECT_EQ(JoinCommaText({chinese}), chinese);
}

TEST(CommaTextReading, FollowsTheSplittingRules) {
  struct Case {
    QByteArray line;
    Cells fields;
  };
  const Case cases[] = {
      {"", {}},
      {"   ", {}},
      {"\"\"", {""}},
      {"a,,b", {"a", "", "b"}},
      {"a,", {"a", ""}},
      {"a,   ", {"a"}},
      {"  \t a , b", {"a", "b"}},
      {"1,A,01 02", {"1", "A", "01", "02"}},
      {"\"x\"y", {"x", "y"}},
      {"\"a \"\"q\"\" b\",c", {"a \"q\" b", "c"}},
      {"\"unclosed, rest", {"unclosed, rest"}},
      {",x", {"", "x"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SplitCommaText(c.line), c.fields) << c.line.constData();
  }
}

TEST(CommaTextReading, TreatsNulLikeAControlByteSoTheScanEnds) {
  EXPECT_EQ(SplitCommaText(QByteArray("a\0b", 3)), (Cells{"a", "b"}));
  EXPECT_EQ(SplitCommaText(QByteArray("\0", 1)), Cells{});
}

TEST(CommaTextRoundTrip, EveryWrittenRowReadsBackToTheSameCells) {
  const QList<Cells> rows = {
      {"1", "A", "01 02"},
      {"2", "", ""},
      {"", "", ""},
      {""},
      {"", "x"},
      {" lead", "trail ", " both "},
      {"a,b", "\"", "\"\""},
      {"tab\there", "cr\rlf", QStringLiteral("中文 名称,\"引号\"").toUtf8()},
      {QByteArray("nul\0in", 6), "x"},
  };
  for (const Cells& row : rows) {
    EXPECT_EQ(SplitCommaText(JoinCommaText(row)), row) << JoinCommaText(row).constData();
  }
}

}  // namespace
