#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "lib/strings.h"
#include "lib/textcodec.h"
#include "tests/common/test_support.h"

namespace {

std::string Bytes(const BINARY& b) {
    return b.NotNull() ? std::string(reinterpret_cast<const char*>(b.Data()), static_cast<size_t>(b.Length()))
                       : std::string("(null)");
}

} // namespace

TEST(StringNullAndEmpty, DefaultIsNullAndDiffersFromEmpty) {
    STRING null;
    EXPECT_FALSE(null.NotNull());
    EXPECT_EQ(0, null.Length());
    EXPECT_TRUE(null.IsEmpty());
    EXPECT_FALSE(null == "");
    EXPECT_TRUE(null == static_cast<const char*>(nullptr));
    EXPECT_TRUE(null == STRING());

    STRING empty("");
    EXPECT_TRUE(empty.NotNull());
    EXPECT_TRUE(empty.IsEmpty());
    EXPECT_TRUE(empty == "");
    EXPECT_FALSE(empty == null);
    EXPECT_FALSE(STRING(static_cast<const char*>(nullptr)).NotNull());
}

TEST(StringNullAndEmpty, MakeNotNullAndDefaultTo) {
    STRING s;
    s.DefaultTo(STRING("fallback"));
    EXPECT_EQ("fallback", Bytes(s));
    s.DefaultTo(STRING("other"));
    EXPECT_EQ("fallback", Bytes(s));

    STRING n;
    n.MakeNotNull();
    EXPECT_TRUE(n.NotNull());
    EXPECT_EQ(0, n.Length());

    ASSERTWATCH watch;
    STRING m;
    m.DefaultTo(STRING());
    EXPECT_EQ(1u, watch.Failures());
    EXPECT_FALSE(m.NotNull());
}

TEST(StringNullAndEmpty, NullPolicyFollowsEnvironment) {
    STRING s("x");
    s.Append(static_cast<const char*>(nullptr));
    EXPECT_EQ("x<NULL>", Bytes(s));

    TestSetEnv("ORVIKFAILONNULL", "1");
    STRING t("x");
    t.Append(static_cast<const char*>(nullptr));
    EXPECT_EQ("x", Bytes(t));
    // The policy stays when the variable disappears.
    TestSetEnv("ORVIKFAILONNULL", nullptr);
    t.Append(static_cast<const char*>(nullptr));
    EXPECT_EQ("x", Bytes(t));

    TestSetEnv("ORVIKFAILONNULL", "3");
    {
        ASSERTWATCH watch;
        EXPECT_EQ(-1, STRING("abc").Pos(nullptr));
        EXPECT_EQ(1u, watch.Failures());
        EXPECT_EQ("p!=NULL", watch.LastCondition());
        EXPECT_EQ("Pos str", watch.LastInfo());
    }
    TestSetEnv("ORVIKFAILONNULL", "0");
    STRING u("x");
    u.Append(static_cast<const char*>(nullptr));
    EXPECT_EQ("x<NULL>", Bytes(u));
    TestSetEnv("ORVIKFAILONNULL", nullptr);
}

TEST(StringGrowth, BlockLadderFrom96To192) {
    STRING s;
    s.Append("abc");
    EXPECT_EQ(96, s.GetBufLen());
    while (s.Length() < 95)
        s.Append("x");
    EXPECT_EQ(96, s.GetBufLen());
    s.Append("y");
    EXPECT_EQ(96, s.Length());
    EXPECT_EQ(192, s.GetBufLen());
    EXPECT_EQ(0, s.Data()[96]);
}

TEST(StringGrowth, UpgradeToDynablockAt40000Bytes) {
    SCRATCHFOLDER dir{SCRATCHFOLDER::Working};
    LOGCAPTURE log(dir.File("growth.log"));
    STRING s;
    const std::string chunk(1000, 'q');
    for (int i = 0; i < 40; ++i)
        s.Append(chunk.c_str());
    EXPECT_EQ(40000, s.Length());
    EXPECT_TRUE(s.GetFlags() & STRINGFLAG_DYNABLOCK);
    EXPECT_EQ(32768, s.GetBlockSize());
    EXPECT_EQ(1, CountOccurrences(log.Finish(), "STRING::Make Upgrade String to STRINGFLAG_DYNABLOCK"));
}

TEST(StringGrowth, LargeTextsReallocateLogarithmically) {
    STRING s;
    int reallocations = 0;
    int lastBufLen = 0;
    for (int i = 0; i < 4 * 1024 * 1024; i += 512) {
        s.Append(std::string(512, 'a').c_str());
        if (s.GetBufLen() != lastBufLen) {
            ++reallocations;
            lastBufLen = s.GetBufLen();
        }
    }
    EXPECT_EQ(4 * 1024 * 1024, s.Length());
    EXPECT_LT(reallocations, 40);
    EXPECT_LE(s.GetBlockSize(), 2097152);
    EXPECT_EQ(0, s.Data()[s.Length()]);
}

TEST(StringGrowth, OwnTextAsSourceIsCopiedFirst) {
    STRING s("abcdefghij");
    s.Append(s.c_str());
    EXPECT_EQ("abcdefghijabcdefghij", Bytes(s));
    s.Make(3, s.Data() + 2);
    EXPECT_EQ("cde", Bytes(s));
    STRING t("0123456789");
    t.Replace("3", t.c_str() + 8);
    EXPECT_EQ("01289456789", Bytes(t));
}

TEST(StringConstruction, NumbersAndCopies) {
    EXPECT_EQ("-42", Bytes(STRING(-42)));
    EXPECT_EQ(16, STRING(7).GetBlockSize());
    EXPECT_EQ("4294967295", Bytes(STRING(4294967295ul)));
    EXPECT_EQ("18446744073709551615", Bytes(STRING(18446744073709551615ull)));
    EXPECT_EQ(32, STRING(1ull).GetBlockSize());
    EXPECT_EQ(96, STRING(STRINGBLOCKSIZE{0}).GetBlockSize());
    EXPECT_EQ(500, STRING(STRINGBLOCKSIZE{500}).GetBlockSize());

    STRING a("text", 850);
    STRING b(a);
    EXPECT_EQ(850, b.GetCodePage());
    EXPECT_NE(a.Data(), b.Data());
    b = STRING();
    EXPECT_FALSE(b.NotNull());
    a = a;
    EXPECT_EQ("text", Bytes(a));
}

TEST(StringAccess, IndexBoundsAssertAndUseScratch) {
    STRING s("abc");
    const STRING& cs = s;
    EXPECT_EQ('b', cs[1]);
    s[3] = 0; // the terminator may be written
    EXPECT_EQ(3, s.Length());

    ASSERTWATCH watch;
    EXPECT_EQ(0, cs[3]);
    EXPECT_EQ("i>=0 && i<this->StrLen", watch.LastCondition());
    EXPECT_EQ("i= 3, len= 3, buf= abc", watch.LastInfo());
    s[4] = 'z';
    EXPECT_EQ("i>=0 && i<=this->StrLen", watch.LastCondition());
    EXPECT_EQ(2u, watch.Failures());
    EXPECT_EQ("abc", Bytes(s));
}

TEST(StringSearch, PosFindAndCaseInsensitiveVariants) {
    STRING s("Hello World, hello");
    EXPECT_EQ(13, s.Pos("hello"));
    EXPECT_EQ(0, s.iPos("HELLO"));
    EXPECT_EQ(13, s.iPos("HELLO", 1));
    EXPECT_EQ(-1, s.Pos("missing"));
    EXPECT_EQ(4, s.Pos("", 4));
    EXPECT_EQ(-1, s.Pos("", s.Length()));
    int at = 99;
    EXPECT_FALSE(s.Find("xyz", &at));
    EXPECT_EQ(-1, at);
    EXPECT_TRUE(s.iFind("WORLD", &at));
    EXPECT_EQ(6, at);
    EXPECT_EQ(-1, STRING().Pos("a"));
}

TEST(StringSearch, ComparisonIgnoresCaseAndOrdersNullAsText) {
    EXPECT_TRUE(STRING("Hello") == STRING("HELLO"));
    EXPECT_TRUE(STRING("Hello") == "hello");
    EXPECT_TRUE("HELLO" == STRING("hello"));
    EXPECT_TRUE(STRING("a") != "b");
    EXPECT_TRUE(STRING("apple") < STRING("Banana"));
    EXPECT_TRUE(STRING("Zoo") > STRING("apple"));
    // A null string sorts as "<NULL>", which is before letters.
    EXPECT_TRUE(STRING() < STRING("a"));
    EXPECT_FALSE(STRING() < STRING("<NULL>"));
}

TEST(StringParts, MidLeftRight) {
    STRING s("abcdef");
    EXPECT_EQ("cd", Bytes(s.Mid(2, 2)));
    EXPECT_EQ("cdef", Bytes(s.Mid(2)));
    EXPECT_EQ("cdef", Bytes(s.Mid(2, 100)));
    STRING past = s.Mid(6, 1);
    EXPECT_TRUE(past.NotNull());
    EXPECT_EQ(0, past.Length());
    EXPECT_EQ("ab", Bytes(s.Left(2)));
    EXPECT_EQ("ef", Bytes(s.Right(2)));
    EXPECT_EQ("abcdef", Bytes(s.Right(10)));
}

TEST(StringParts, WordAndLine) {
    STRING s("a;b;c;d");
    EXPECT_EQ("c", Bytes(s.Word(2, ";")));
    EXPECT_EQ("b;c;d", Bytes(s.Word(1, ";", WORD_REST)));
    EXPECT_FALSE(s.Word(5, ";").NotNull());
    STRING notnull = s.Word(5, ";", WORD_NOTNULL);
    EXPECT_TRUE(notnull.NotNull());
    EXPECT_EQ(0, notnull.Length());
    EXPECT_EQ("", Bytes(STRING("a;;b").Word(1, ";")));
    EXPECT_EQ("b", Bytes(STRING("a,b;c").Word(1, ",;")));
    EXPECT_EQ("d", Bytes(s.Word(3, ";")));
    STRING text("first\nsecond\nthird");
    EXPECT_EQ("second", Bytes(text.Line(1)));
    EXPECT_EQ("second\nthird", Bytes(text.Line(1, WORD_REST)));
}

TEST(StringEdit, InsertDeleteAndCuts) {
    STRING s("abcdef");
    s.Insert("XY", 2);
    EXPECT_EQ("abXYcdef", Bytes(s));
    s.Insert("!", s.Length());
    EXPECT_EQ("abXYcdef!", Bytes(s));
    s.Insert("?", 100);
    EXPECT_EQ("abXYcdef!", Bytes(s));
    s.Delete(2, 2);
    EXPECT_EQ("abcdef!", Bytes(s));
    s.Delete(4, 100);
    EXPECT_EQ("abcd", Bytes(s));
    s.InsertChars(3, 1, '-');
    EXPECT_EQ("a---bcd", Bytes(s));
    s.CutLeft(2);
    EXPECT_EQ("--bcd", Bytes(s));
    EXPECT_EQ(3, s.CutRight(2));
    EXPECT_EQ("--b", Bytes(s));
    s.Truncate(10);
    EXPECT_EQ("--b", Bytes(s));
    s.CutLeft(50);
    EXPECT_TRUE(s.NotNull());
    EXPECT_EQ(0, s.Length());
}

TEST(StringEdit, PreconditionsAssertAndChangeNothing) {
    STRING s("abc");
    ASSERTWATCH watch;
    s.Insert(s.c_str(), 1);
    EXPECT_EQ("text!=this->Buffer", watch.LastCondition());
    s.Delete(0, -1);
    EXPECT_EQ("howmany>=0", watch.LastCondition());
    s.InsertChars(-2, 0, 'x');
    s.CutLeft(-1);
    s.CutRight(-1);
    s.Truncate(-1);
    EXPECT_EQ("newlength>=0", watch.LastCondition());
    s.Strip('X', " ");
    EXPECT_EQ("how=='L' || how=='R' || how=='B'", watch.LastCondition());
    EXPECT_EQ(7u, watch.Failures());
    EXPECT_EQ("abc", Bytes(s));
}

TEST(StringEdit, Strip) {
    STRING s("  x \t");
    s.Strip('b', " \t");
    EXPECT_EQ("x", Bytes(s));
    STRING blanks("    ");
    blanks.Strip('B', " ");
    EXPECT_EQ("", Bytes(blanks));
    STRING left("..a..");
    left.Strip('L', ".");
    EXPECT_EQ("a..", Bytes(left));
    STRING right("..a..");
    right.Strip('r', ".");
    EXPECT_EQ("..a", Bytes(right));
}

TEST(StringEdit, ReplaceTerminatesAndResizes) {
    STRING s("aaa");
    s.Replace("a", "aa");
    EXPECT_EQ("aaaaaa", Bytes(s));
    STRING t("one Two two");
    t.Replace("TWO", "2", false);
    EXPECT_EQ("one 2 2", Bytes(t));
    STRING u("one Two two");
    u.Replace("two", "2", true);
    EXPECT_EQ("one Two 2", Bytes(u));
    STRING shrink("abcabcabc");
    shrink.Replace("bc", "");
    EXPECT_EQ("aaa", Bytes(shrink));
    EXPECT_EQ(0, shrink.Data()[3]);
    std::string longtext(200, 'x');
    STRING grow(longtext.c_str());
    grow.Replace("x", "<x>");
    EXPECT_EQ(600, grow.Length());
    EXPECT_EQ("<x><x>", Bytes(grow.Left(6)));
    STRING same("abc");
    same.Replace("b", "b");
    same.Replace("", "z");
    EXPECT_EQ("abc", Bytes(same));
}

TEST(StringEdit, CaseConversionAndConcatenation) {
    STRING s("MiXeD 1");
    s.ToLower();
    EXPECT_EQ("mixed 1", Bytes(s));
    s.ToUpper();
    EXPECT_EQ("MIXED 1", Bytes(s));
    STRING null;
    null.ToUpper();
    EXPECT_FALSE(null.NotNull());

    EXPECT_EQ("ab", Bytes(STRING("a") || "b"));
    EXPECT_EQ("ab", Bytes("a" || STRING("b")));
    EXPECT_EQ("x<NULL>", Bytes(STRING("x") || STRING()));
    EXPECT_EQ("<NULL>y", Bytes(static_cast<const char*>(nullptr) || STRING("y")));
    EXPECT_EQ(STRING_DEFAULT_CODEPAGE, (STRING("a", 850) || "b").GetCodePage());
}

TEST(StringNumbers, ToIntAndToDouble) {
    EXPECT_EQ(42, STRING("42abc").ToInt());
    EXPECT_EQ(-7, STRING("  -7").ToInt());
    EXPECT_EQ(0, STRING("abc").ToInt());
    EXPECT_EQ(0, STRING().ToInt());
    EXPECT_DOUBLE_EQ(2.5, STRING("2.5x").ToDouble());
}

TEST(StringPrintf, LimitAt8190Characters) {
    STRING s;
    ASSERTWATCH watch;
    EXPECT_EQ(8190, s.Printf("%s", std::string(8190, 'a').c_str()));
    EXPECT_EQ(8190, s.Length());
    EXPECT_EQ(0u, watch.Failures());

    EXPECT_EQ(8191, s.Printf("%s", std::string(8191, 'b').c_str()));
    EXPECT_EQ(1u, watch.Failures());
    EXPECT_EQ("rc>=0 && rc<sizeof(buf)-1", watch.LastCondition());
    s.Printf("%s", std::string(9000, 'c').c_str());
    EXPECT_EQ(8191, s.Length());
    EXPECT_EQ('c', s.Data()[8190]);
}

TEST(StringPrintf, AppendKeepsCodePageAndPrintfResetsIt) {
    STRING s("x=", 850);
    s.AppendPrintf("%d/%s", 5, "y");
    EXPECT_EQ("x=5/y", Bytes(s));
    EXPECT_EQ(850, s.GetCodePage());
    s.Printf("%05d", 42);
    EXPECT_EQ("00042", Bytes(s));
    EXPECT_EQ(STRING_DEFAULT_CODEPAGE, s.GetCodePage());
}

TEST(StringEncoding, HexRoundTrip) {
    const char raw[] = {'\x00', '\xAB'};
    STRING bin(BINARY(raw, 2));
    EXPECT_EQ("00ab", Bytes(bin.ToHex()));
    STRING decoded = STRING("00AB").FromHex();
    EXPECT_EQ(std::string(raw, 2), Bytes(decoded));
    EXPECT_EQ("\x12", Bytes(STRING("123").FromHex()));
    EXPECT_FALSE(STRING("").ToHex().NotNull());
    STRING fromEmpty = STRING("").FromHex();
    EXPECT_TRUE(fromEmpty.NotNull());
    EXPECT_EQ(0, fromEmpty.Length());
}

TEST(StringEncoding, Base64) {
    EXPECT_EQ("YWJj", Bytes(STRING("abc").ToBase64()));
    EXPECT_EQ("YQ==", Bytes(STRING("a").ToBase64()));
    EXPECT_EQ("YWI=", Bytes(STRING("ab").ToBase64()));
    EXPECT_EQ("a", Bytes(STRING("YQ==").FromBase64()));
    EXPECT_EQ("", Bytes(STRING("YQ").FromBase64()));
    EXPECT_EQ("ab", Bytes(STRING("YW\r\nI=garbage").FromBase64()));
    EXPECT_EQ("", Bytes(STRING("").ToBase64()));

    std::string all;
    for (int i = 0; i < 256; ++i)
        all += static_cast<char>(i);
    STRING data(BINARY(all.data(), 256));
    STRING wrapped = data.ToBase64(true);
    std::string text = Bytes(wrapped);
    EXPECT_EQ("\r\n", text.substr(76, 2));
    EXPECT_EQ("\r\n", text.substr(text.size() - 2));
    EXPECT_EQ(std::string::npos, Bytes(data.ToBase64(false)).find('\r'));
    EXPECT_EQ(all, Bytes(wrapped.FromBase64()));
}

TEST(StringEncoding, UnescapeLenientAndStrict) {
    EXPECT_EQ("aA\\q", Bytes(STRING("a\\x41\\q").Unescape(true)));
    EXPECT_EQ(std::string("\0\\\n\r\t\x1a", 6), Bytes(STRING("\\0\\\\\\n\\r\\t\\z").Unescape()));

    ASSERTWATCH watch;
    EXPECT_EQ("aq", Bytes(STRING("a\\q").Unescape(false)));
    EXPECT_EQ("FALSE", watch.LastCondition());
    EXPECT_EQ("a\\q", watch.LastInfo());
    STRING("\\xg1").Unescape();
    EXPECT_EQ("isxdigit(xdigit[0])", watch.LastCondition());
    EXPECT_EQ(2u, watch.Failures());

    std::string longtext;
    for (int i = 0; i < 300; ++i)
        longtext += "\\x41b";
    EXPECT_EQ(600, STRING(longtext.c_str()).Unescape().Length());
}

TEST(StringFiles, SaveAndLoadKeepBinaryData) {
    SCRATCHFOLDER dir{SCRATCHFOLDER::Working};
    const std::string content("line1\n\0binary\xff", 14);
    BINARY data(content.data(), static_cast<int>(content.size()));
    EXPECT_TRUE(data.Save(dir.File("data.bin").c_str(), "wb"));
    STRING loaded("old");
    EXPECT_TRUE(loaded.Load(dir.File("data.bin").c_str(), "rb"));
    EXPECT_EQ(content, Bytes(loaded));

    STRING kept("unchanged");
    EXPECT_FALSE(kept.Load(dir.File("missing.txt").c_str(), "r"));
    EXPECT_EQ("unchanged", Bytes(kept));
    EXPECT_FALSE(STRING("x").Save(dir.File("no/such/dir.txt").c_str(), "w"));
}

TEST(StringFiles, LoadSizesTheBlockToTheFile) {
    SCRATCHFOLDER dir{SCRATCHFOLDER::Working};
    WriteWholeFile(dir.File("big.bin"), std::string(100000, 'z'));
    STRING s;
    EXPECT_TRUE(s.Load(dir.File("big.bin").c_str(), "rb"));
    EXPECT_EQ(100000, s.Length());
    EXPECT_EQ(131072, s.GetBlockSize());
    EXPECT_EQ(131072, s.GetBufLen());
}

TEST(StringBlockCache, ReusesLastReleasedBufferUpToTheLimit) {
    STRINGBLOCKCACHE cache;
    void* a = cache.Allocate(96);
    void* b = cache.Allocate(96);
    cache.Release(a, 96);
    cache.Release(b, 96);
    EXPECT_EQ(2, cache.CachedCount());
    EXPECT_EQ(b, cache.Allocate(96));
    EXPECT_EQ(a, cache.Allocate(96));
    cache.Release(a, 96);
    cache.Release(b, 96);

    void* many[200];
    for (void*& p : many)
        p = cache.Allocate(96);
    for (void* p : many)
        cache.Release(p, 96);
    EXPECT_EQ(STRINGBLOCKCACHE::MaxCached, cache.CachedCount());
    cache.Release(cache.Allocate(192), 192);
    EXPECT_EQ(STRINGBLOCKCACHE::MaxCached, cache.CachedCount());
    cache.Release(nullptr, 96);
}

TEST(StringBlockCache, ShutdownFreesAndBypassesTheCache) {
    STRINGBLOCKCACHE cache;
    cache.Release(cache.Allocate(96), 96);
    EXPECT_EQ(1, cache.CachedCount());
    cache.Shutdown();
    EXPECT_TRUE(cache.IsClosed());
    EXPECT_EQ(0, cache.CachedCount());
    void* p = cache.Allocate(96);
    ASSERT_NE(nullptr, p);
    cache.Release(p, 96);
    EXPECT_EQ(0, cache.CachedCount());
}

TEST(WideString, TranslatesCodePage1252AndEndsWithTwoZeros) {
    WIDESTRING w("A\x80\xe9", -1, 1252);
    ASSERT_EQ(3, w.Length());
    EXPECT_EQ(u'A', w.c_str()[0]);
    EXPECT_EQ(u'\u20AC', w.c_str()[1]);
    EXPECT_EQ(u'\u00E9', w.c_str()[2]);
    EXPECT_EQ(0, w.c_str()[3]);
    EXPECT_EQ(2, WIDESTRING("abcdef", 2).Length());
    EXPECT_FALSE(WIDESTRING(nullptr).NotNull());
}

TEST(WideString, ReadsTheProgramsTextAndUtf8) {
    const std::u16string name = u"Ärger & Δ 山田 \U0001F600";
    const WIDESTRING active(TEXTCODEC::FromWide(u"Ärger").c_str());
    EXPECT_EQ(std::u16string(active.c_str(), active.Length()), u"Ärger");
    const WIDESTRING utf8("Ärger & Δ 山田 \xF0\x9F\x98\x80", -1, 65001);
    EXPECT_EQ(std::u16string(utf8.c_str(), utf8.Length()), name);
    EXPECT_EQ(0, utf8.c_str()[name.size()]);
    const WIDESTRING oem("\x99l", -1, 437);
    EXPECT_EQ(std::u16string(oem.c_str(), oem.Length()), u"Öl");
}

TEST(CaseInsensitive, PrefixEndingAndEqualityIgnoreCaseAndTakeNullAsEmpty) {
    EXPECT_TRUE(StartsWithNoCase("/LogitHard:x", "/LOGITHARD"));
    EXPECT_FALSE(StartsWithNoCase("/LOG", "/LOGIT")) << "a shorter text never starts with a longer prefix";
    EXPECT_TRUE(StartsWithNoCase(nullptr, ""));
    EXPECT_FALSE(StartsWithNoCase(nullptr, "a"));
    EXPECT_TRUE(EndsWithNoCase("SETUP.EXE", ".exe"));
    EXPECT_FALSE(EndsWithNoCase("exe", ".exe"));
    EXPECT_TRUE(EqualsNoCase("Service.Exe", "service.exe"));
    EXPECT_FALSE(EqualsNoCase("service.ex", "service.exe"));
    EXPECT_TRUE(EqualsNoCase(nullptr, ""));
}
