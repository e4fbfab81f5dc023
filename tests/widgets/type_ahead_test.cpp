#include "widgets/type_ahead.h"

#include <gtest/gtest.h>

namespace {

using widgets::TypeAhead;
using namespace std::chrono_literals;

const QStringList kItems{"Alpha", "Read", "reset", "Reboot", "写入"};

// A type-ahead whose clock reads `now`.
struct ClockedTypeAhead {
  std::chrono::milliseconds now{100000};
  TypeAhead search{[this] { return now; }};
};

TEST(TypeAhead, TheSearchTextPicksTheFirstItemBeginningWithItLetterCaseIgnored) {
  ClockedTypeAhead t;
  EXPECT_EQ(t.search.Type(u'r', kItems), 1);
  EXPECT_EQ(t.search.Type(u'E', kItems), 1);
  EXPECT_EQ(t.search.Type(u's', kItems), 2);
  EXPECT_EQ(t.search.SearchText(), "rEs");
  // A repeated character narrows the search instead of stepping to the next item.
  t.search.Clear();
  t.search.Type(u'r', kItems);
  EXPECT_EQ(t.search.Type(u'r', kItems), -1);
  EXPECT_EQ(t.search.SearchText(), "rr");
  t.search.Clear();
  EXPECT_EQ(t.search.Type(u'写', kItems), 4);
}

TEST(TypeAhead, APauseOfMoreThanTwoSecondsStartsTheSearchOver) {
  ClockedTypeAhead t;
  t.search.Type(u'r', kItems);
  t.now += 2000ms;
  EXPECT_EQ(t.search.Type(u'e', kItems), 1);
  EXPECT_EQ(t.search.SearchText(), "re");
  t.now += 2001ms;
  EXPECT_EQ(t.search.Type(u'a', kItems), 0);
  EXPECT_EQ(t.search.SearchText(), "a");
}

TEST(TypeAhead, TheSearchTextHoldsAtMostThirtyTwoCharacters) {
  ClockedTypeAhead t;
  const QString longItem = QString(32, u'x');
  for (int i = 0; i < 40; ++i) t.search.Type(u'x', {longItem});
  EXPECT_EQ(t.search.SearchText(), longItem);
  EXPECT_EQ(t.search.Type(u'x', {longItem}), 0);
}

TEST(TypeAhead, OneCharacterPicksTheFirstItemItBeginsWith) {
  EXPECT_EQ(widgets::FirstItemStartingWith(u'R', kItems), 1);
  EXPECT_EQ(widgets::FirstItemStartingWith(u'a', kItems), 0);
  EXPECT_EQ(widgets::FirstItemStartingWith(u'z', kItems), -1);
  EXPECT_EQ(widgets::FirstItemStartingWith(u'b', {"", "ab", "B"}), 2);
}

}  // namespace
