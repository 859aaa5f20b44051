// DYNARRAY and STRINGARRAY: growth, index checks, ownership of items, locking, splitting and loading.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "lib/stringarray.h"
#include "tests/common/test_support.h"

namespace {

std::vector<std::string> Items(const DYNARRAY& array) {
    std::vector<std::string> items;
    for (int i = 0; i < array.Count(); ++i)
        items.push_back(array.Get(i)->Text());
    return items;
}

STRINGARRAY Numbered(int count) {
    STRINGARRAY array;
    for (int i = 0; i < count; ++i)
        array.Append(STRING(i));
    return array;
}

} // namespace

TEST(DynArrayGrowth, InsertIntoFullArrayOf64GrowsTo128AndKeepsOrder) {
    STRINGARRAY array = Numbered(64);
    ASSERT_EQ(array.GetMaxItems(), 64);
    EXPECT_TRUE(array.Insert(10, STRING("new")));
    EXPECT_EQ(array.GetMaxItems(), 128);
    ASSERT_EQ(array.Count(), 65);
    EXPECT_EQ(*array.Get(9), "9");
    EXPECT_EQ(*array.Get(10), "new");
    EXPECT_EQ(*array.Get(11), "10");
    EXPECT_EQ(*array.Get(64), "63");
}

TEST(DynArrayGrowth, GrowByMinusOneMeansGrowByCapacity) {
    DYNARRAY array(3);
    for (int i = 0; i < 4; ++i)
        array.Append(STRING(i));
    EXPECT_EQ(array.GetMaxItems(), 6);
    DYNARRAY fixedstep(3, 2);
    for (int i = 0; i < 4; ++i)
        fixedstep.Append(STRING(i));
    EXPECT_EQ(fixedstep.GetMaxItems(), 5);
}

TEST(DynArrayItems, AppendStoresACopyAndReturnsThePosition) {
    STRINGARRAY array;
    STRING text("first");
    EXPECT_EQ(array.Append(text), 0);
    EXPECT_EQ(array.Append(STRING("second")), 1);
    text = "changed";
    EXPECT_EQ(*array.Get(0), "first");
}

TEST(DynArrayItems, InsertDeleteAndSwapMoveTheOtherItems) {
    STRINGARRAY array = Numbered(4); // 0 1 2 3
    array.Insert(0, STRING("a"));    // a 0 1 2 3
    array.Insert(5, STRING("z"));    // a 0 1 2 3 z
    EXPECT_TRUE(array.DeleteItem(2)); // a 0 2 3 z
    EXPECT_TRUE(array.Swap(0, 4));   // z 0 2 3 a
    EXPECT_EQ(Items(array), (std::vector<std::string>{"z", "0", "2", "3", "a"}));
    array.Clear();
    EXPECT_EQ(array.Count(), 0);
    EXPECT_EQ(array.GetMaxItems(), 64);
}

TEST(DynArrayItems, CopiesAreDeepAndKeepTheShape) {
    DYNARRAY original(2, 5);
    original.SetTypeName("CUSTOM");
    original.Append(STRING("x"));
    original.Append(STRING("y"));
    original.Append(STRING("z"));
    DYNARRAY copy(original);
    EXPECT_EQ(copy.GetMaxItems(), original.GetMaxItems());
    EXPECT_EQ(copy.GetGrowBy(), 5);
    EXPECT_STREQ(copy.GetTypeName(), "CUSTOM");
    *copy.Get(0) = "changed";
    EXPECT_EQ(*original.Get(0), "x");

    DYNARRAY assigned(1);
    assigned = original;
    original.DeleteItem(0);
    EXPECT_EQ(Items(assigned), (std::vector<std::string>{"x", "y", "z"}));
    DYNARRAY& same = assigned;
    assigned = same;
    EXPECT_EQ(assigned.Count(), 3);
}

TEST(DynArrayIndexChecks, GetOutOfRangeAssertsWithTheArrayDescription) {
    STRINGARRAY array = Numbered(2);
    ASSERTWATCH watch;
    EXPECT_EQ(array.Get(5), nullptr);
    EXPECT_EQ(array.Get(-1), nullptr);
    EXPECT_EQ(watch.Failures(), 2u);
    EXPECT_EQ(watch.LastCondition(), "FALSE");
    EXPECT_EQ(watch.LastInfo().rfind("i= -1, max= 64, count= 2, type= STRINGARRAY, this= ", 0), 0u)
        << watch.LastInfo();
}

TEST(DynArrayIndexChecks, BadPositionsAssertAndChangeNothing) {
    STRINGARRAY array = Numbered(3);
    ASSERTWATCH watch;
    EXPECT_FALSE(array.Insert(4, STRING("x")));
    EXPECT_EQ(watch.LastCondition(), "pos>=0 && pos<=this->ItemCount");
    EXPECT_EQ(watch.LastInfo(), "4/3");
    EXPECT_FALSE(array.DeleteItem(3));
    EXPECT_EQ(watch.LastCondition(), "pos>=0 && pos<this->ItemCount");
    EXPECT_FALSE(array.Swap(0, 3));
    EXPECT_EQ(watch.LastCondition(), "pos2>=0 && pos2<this->ItemCount");
    EXPECT_FALSE(array.Swap(-1, 0));
    EXPECT_EQ(watch.LastCondition(), "pos1>=0 && pos1<this->ItemCount");
    EXPECT_EQ(watch.Failures(), 4u);
    EXPECT_EQ(Items(array), (std::vector<std::string>{"0", "1", "2"}));
}

TEST(DynArrayIndexChecks, PlainDynarrayHasNoOrdering) {
    DYNARRAY array(4);
    ASSERTWATCH watch;
    EXPECT_EQ(array.Compare(STRING("a"), STRING("b"), 0), 0);
    EXPECT_EQ(watch.Failures(), 1u);
    EXPECT_EQ(watch.LastCondition(), "FALSE");
}

TEST(DynArrayLocking, ConcurrentAppendsAreAllKept) {
    STRINGARRAY array;
    auto work = [&array](const char* tag) {
        for (int i = 0; i < 500; ++i)
            array.Append(STRING(tag));
    };
    std::thread a(work, "a");
    std::thread b(work, "b");
    a.join();
    b.join();
    ASSERT_EQ(array.Count(), 1000);
    int as = 0;
    for (int i = 0; i < array.Count(); ++i)
        as += *array.Get(i) == "a" ? 1 : 0;
    EXPECT_EQ(as, 500);
}

TEST(DynArrayLocking, HeldLockKeepsOtherThreadsOut) {
    STRINGARRAY array;
    ASSERT_TRUE(array.Lock());
    ASSERT_TRUE(array.Lock()); // recursive for its owner
    std::thread other([&array] { array.Append(STRING("late")); });
    array.Append(STRING("first"));
    OSYS::Sleep(50);
    EXPECT_EQ(array.Count(), 1);
    array.Unlock();
    array.Unlock();
    other.join();
    EXPECT_EQ(Items(array), (std::vector<std::string>{"first", "late"}));
}

TEST(DynArrayLocking, ALockWithATimeLimitGivesUpWhileAnotherThreadHoldsIt) {
    STRINGARRAY array;
    ASSERT_TRUE(array.Lock());
    bool whileheld = true;
    std::thread other([&array, &whileheld] { whileheld = array.Lock(30); });
    other.join();
    EXPECT_FALSE(whileheld);
    array.Unlock();
    bool afterwards = false;
    std::thread later([&array, &afterwards] {
        afterwards = array.Lock(30);
        if (afterwards)
            array.Unlock();
    });
    later.join();
    EXPECT_TRUE(afterwards);
}

TEST(StringArrayCompare, FlagsChooseNumericCaseFreeOrBytewise) {
    STRINGARRAY array;
    EXPECT_GT(array.Compare(STRING("10"), STRING("9"), STRINGARRAY_COMPARE_NUMERIC), 0);
    EXPECT_LT(array.Compare(STRING("10"), STRING("9"), 0), 0);
    EXPECT_EQ(array.Compare(STRING("Title"), STRING("TITLE"), STRINGARRAY_COMPARE_NOCASE), 0);
    EXPECT_NE(array.Compare(STRING("Title"), STRING("TITLE"), 0), 0);
}

TEST(StringArraySplit, EveryDelimiterCutsAndEmptyPiecesStay) {
    EXPECT_EQ(Items(STRINGARRAY(STRING("a\nb\n"), "\n")), (std::vector<std::string>{"a", "b", ""}));
    EXPECT_EQ(Items(STRINGARRAY(STRING("a;b,,c"), ";,")), (std::vector<std::string>{"a", "b", "", "c"}));
    EXPECT_EQ(Items(STRINGARRAY(STRING(""), ";")), (std::vector<std::string>{""}));
    EXPECT_EQ(Items(STRINGARRAY(STRING("abc"), "")), (std::vector<std::string>{"abc"}));
}

TEST(StringArraySplit, NullSourceAssertsAndGivesNothing) {
    ASSERTWATCH watch;
    STRINGARRAY array(STRING(), ";");
    EXPECT_EQ(array.Count(), 0);
    EXPECT_EQ(watch.LastCondition(), "source.NotNull()");
}

class StringArrayLoad : public ::testing::Test {
protected:
    SCRATCHFOLDER Scratch{SCRATCHFOLDER::Working};
};

TEST_F(StringArrayLoad, LinesInFileOrderWithEmptyLinesAndAnUnterminatedLast) {
    WriteWholeFile(Scratch.File("list.txt"), "one\ntwo\n\n  four  \nlast");
    STRINGARRAY array;
    EXPECT_EQ(array.Load(Scratch.File("list.txt").c_str()), 5);
    EXPECT_EQ(Items(array), (std::vector<std::string>{"one", "two", "", "  four  ", "last"}));
}

TEST_F(StringArrayLoad, CarriageReturnsOfCrLfFilesAreDropped) {
    WriteWholeFile(Scratch.File("crlf.txt"), "alpha\r\nbeta\r\n\r\n");
    STRINGARRAY array;
    EXPECT_EQ(array.Load(Scratch.File("crlf.txt").c_str()), 3);
    EXPECT_EQ(Items(array), (std::vector<std::string>{"alpha", "beta", ""}));
}

TEST_F(StringArrayLoad, LongLinesAreJoinedFromChunks) {
    const std::string longline(70000, 'x');
    WriteWholeFile(Scratch.File("long.txt"), longline + "\nend\n");
    STRINGARRAY array;
    ASSERT_EQ(array.Load(Scratch.File("long.txt").c_str()), 2);
    EXPECT_EQ(array.Get(0)->Length(), 70000);
    EXPECT_EQ(*array.Get(1), "end");
}

TEST_F(StringArrayLoad, UnescapeResolvesBackslashEscapes) {
    WriteWholeFile(Scratch.File("esc.txt"), "C:\\\\dir\ntab\\there\n");
    STRINGARRAY array;
    array.Load(Scratch.File("esc.txt").c_str(), true);
    EXPECT_EQ(Items(array), (std::vector<std::string>{"C:\\dir", "tab\there"}));
}

TEST_F(StringArrayLoad, LinesGoInFrontOfExistingItems) {
    WriteWholeFile(Scratch.File("two.txt"), "a\nb\n");
    STRINGARRAY array;
    array.Append(STRING("old"));
    EXPECT_EQ(array.Load(Scratch.File("two.txt").c_str()), 2);
    EXPECT_EQ(Items(array), (std::vector<std::string>{"a", "b", "old"}));
}

TEST_F(StringArrayLoad, MissingFileGivesZero) {
    STRINGARRAY array;
    EXPECT_EQ(array.Load(Scratch.File("absent.txt").c_str()), 0);
    EXPECT_EQ(array.Count(), 0);
}
