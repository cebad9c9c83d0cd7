#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "app/TextConvert.h"
#include "resources/InstallStamps.h"
#include "resources/LocalFilesCheck.h"
#include "resources/LocalManifestMap.h"
#include "resources/ManifestText.h"
#include "resources/PackedDigest.h"
#include "resources/ResoureConfigMap.h"
#include "resources/QuickCheck.h"
#include "resources/StampTable.h"

namespace {

ResoureConfigList Parse(const std::wstring& text) {
    ResoureConfigList list;
    EXPECT_TRUE(ParseManifestText(text, &list));
    return list;
}

// Every field of every entry of a map, in its order.
std::wstring EntriesOf(const ResoureConfigMap& map) {
    std::wstring text;
    for (const ResoureConfigEntry& entry : map) {
        text += std::wstring(map.Name(entry)) + L"|" + entry.md5.Text() + L"|" +
                entry.sha256.Text() + L"|" + map.Folder(entry) + L"|" +
                std::to_wstring(entry.offset) + L"|" + std::to_wstring(entry.length) + L"\n";
    }
    return text;
}

// A save's bytes made in slices of about maxBytes, each resuming after the last name written;
// every slice but the last holds at least maxBytes.
template <typename Format>
std::string InSlices(const LocalManifestMap& list, size_t maxBytes, const Format& format) {
    std::string all;
    std::wstring after;
    for (int slices = 0; slices <= 100000; ++slices) {
        std::string bytes;
        const bool last = format(list, &after, maxBytes, &bytes);
        all += bytes;
        if (last) return all;
        EXPECT_GE(bytes.size(), maxBytes);
    }
    return "no end";
}

const size_t kSliceSizes[] = {1, 2, 40, 4096, 1 << 20};

}  // namespace

TEST(ManifestText, TwoFieldAndFullLines) {
    ResoureConfigList list = Parse(L"a.dat=0123\r\nb.dat=4567\r\n");
    ASSERT_EQ(2u, list.size());
    EXPECT_EQ(L"a.dat", list[0].name);
    EXPECT_EQ(L"0123", list[0].md5);
    EXPECT_EQ(L"", list[0].packageDir);
    EXPECT_EQ(0, list[0].offset);
    EXPECT_EQ(0, list[0].length);
    EXPECT_EQ(L"", list[0].category);

    list = Parse(L"a.dat=0123=res/p1=4096=5321=launcher");
    ASSERT_EQ(1u, list.size());
    EXPECT_EQ(L"res/p1", list[0].packageDir);
    EXPECT_EQ(4096, list[0].offset);
    EXPECT_EQ(5321, list[0].length);
    EXPECT_TRUE(IsLauncherCategory(list[0].category));
    EXPECT_TRUE(IsLauncherCategory(L"LAUNCHER"));
    EXPECT_TRUE(IsLauncherCategory(L"Launcher"));
    EXPECT_FALSE(IsLauncherCategory(L"launchers"));
    EXPECT_FALSE(IsLauncherCategory(L""));
}

TEST(ManifestText, LineAndFieldSeparators) {
    EXPECT_EQ(1u, Parse(L"\n\r\n\r\r\na.dat=1\n\n").size());
    ResoureConfigList list = Parse(L"a.dat=1\r\n   \r\nb.dat=2");
    ASSERT_EQ(1u, list.size());  // a blank line ends the list
    EXPECT_EQ(L"a.dat", list[0].name);

    for (const wchar_t* text : {L"a.dat==1", L"=a.dat=1", L"  a.dat  =  1  "}) {
        list = Parse(text);
        ASSERT_EQ(1u, list.size()) << text;
        EXPECT_EQ(L"a.dat", list[0].name);
        EXPECT_EQ(L"1", list[0].md5);
    }
    EXPECT_TRUE(Parse(L"a.dat= =x").empty());
    EXPECT_TRUE(Parse(L"a.dat").empty());
    EXPECT_TRUE(Parse(L"a.dat=").empty());
    // Fields after the sixth leave the six alone (the seventh is kept as the range's SHA-256);
    // a blank field ends the line's fields.
    list = Parse(L"a=1=p=2=3=launcher=extra=more");
    ASSERT_EQ(1u, list.size());
    EXPECT_EQ(L"launcher", list[0].category);
    EXPECT_EQ(L"extra", list[0].sha256);
    list = Parse(L"a=1=p= =3");
    ASSERT_EQ(1u, list.size());
    EXPECT_EQ(0, list[0].offset);
    EXPECT_EQ(0, list[0].length);
    EXPECT_FALSE(ParseManifestText(L"a=1", nullptr));
}

TEST(ManifestText, NumberFields) {
    EXPECT_EQ(12, ParseInt64Field(L"12abc"));
    EXPECT_EQ(-3, ParseInt32Field(L"-3"));
    EXPECT_EQ(0, ParseInt64Field(L"x"));
    EXPECT_EQ(0, ParseInt64Field(L"-"));
    EXPECT_EQ(7, ParseInt32Field(L"+7"));
    EXPECT_EQ(INT64_MAX, ParseInt64Field(L"9223372036854775807"));
    EXPECT_EQ(INT64_MAX, ParseInt64Field(L"99999999999999999999999"));
    EXPECT_EQ(INT64_MIN, ParseInt64Field(L"-9223372036854775808"));
    EXPECT_EQ(INT64_MIN, ParseInt64Field(L"-9223372036854775809"));
    EXPECT_EQ(INT32_MAX, ParseInt32Field(L"2147483648"));
    EXPECT_EQ(INT32_MIN, ParseInt32Field(L"-2147483649"));
    EXPECT_EQ(INT32_MIN, ParseInt32Field(L"-2147483648"));
}

TEST(ManifestText, FormatsTwoFieldFormAndReadsItBack) {
    ResoureConfigList list(2);
    list[0].name = L"a";
    list[0].md5 = L"1";
    list[0].packageDir = L"ignored";
    list[1].name = L"b";
    list[1].md5 = L"2";
    std::wstring text = L"keep:";
    ASSERT_TRUE(FormatManifestText(list, &text));
    EXPECT_EQ(L"keep:a=1\r\nb=2\r\n", text);

    std::wstring untouched = L"x";
    EXPECT_FALSE(FormatManifestText(ResoureConfigList(), &untouched));
    EXPECT_EQ(L"x", untouched);

    // A record without digest is written as "name=" and dropped by the next parse.
    list[0].md5.clear();
    text.clear();
    FormatManifestText(list, &text);
    EXPECT_EQ(L"a=\r\nb=2\r\n", text);
    ResoureConfigList back = Parse(text);
    ASSERT_EQ(1u, back.size());
    EXPECT_EQ(L"b", back[0].name);
}

// The bytes of a list parse line by line into exactly the records of their decoded text; digests
// packed into bytes give back the text as written.
TEST(ManifestText, BytesParseAsTheirTextAndDigestsKeepTheirText) {
    using namespace std::string_literals;
    const std::string kBodies[] = {
        "a.dat=0123\r\nb.dat=4567\r\n"s,
        "\n\r\n\r\r\nB.dat=1\n\na.dat=2\rA.dat=3\n\n"s,  // case-distinct names, file order
        "a.dat=1\r\n   \r\nb.dat=2"s,
        "  x\\\xE6\xB8\xB8\xE6\x88\x8F.dat  =  D41D8CD98F00B204E9800998ECF8427E =p= 7 =9=game=x"s,
        "a=1\0b=2\r\n"s,  // the text ends at a zero byte
        "bad=\xE6\xB8\r\nnext=\xFF\n"s,
        "==a==1==p=-5=99999999999=Launcher=s=x\r\n b =2= =q\r\nc=3=p=+9=-2147483649\r\n"s,
        // One name twice in each target: the first stays.
        "a=1=p=0=1\r\nx=2=p=1=1=launcher\r\na=3=q=2=2\r\nx=4=q=3=3=LAUNCHER\r\n"s,
        // Long lines: a lone CR and a byte beyond ASCII amid eight-byte words; digests of mixed
        // case, with a letter beyond f, one digit short, or beyond ASCII keep their text.
        "abcdefghijkl.dat=0123456789abcdef0123456789abcdef\rlong\\name\\\xE6\xB8\xB8.dat=1\n"
        "mixed=D41d8cd98f00b204e9800998ecf8427e=p=0=1=game=" +
            std::string(63, 'f') + "g\r\nshort=d41d8cd98f00b204e9800998ecf8427=p=1=1\r\n" +
            "wide=d41d8cd98f00b204e9800998ecf8427\xC3\xA9=p=2=1=launcher\r\n",
    };
    for (const std::string& bytes : kBodies) {
        std::wstring text;
        Utf8ToText(bytes.c_str(), &text);
        const ResoureConfigList whole = Parse(text);
        ResoureConfigList lines;
        ASSERT_TRUE(ParseManifestUtf8(bytes.data(), bytes.size(), &lines));
        ASSERT_EQ(whole.size(), lines.size()) << bytes;
        for (size_t i = 0; i < whole.size(); ++i) {
            EXPECT_EQ(whole[i].name, lines[i].name);
            EXPECT_EQ(whole[i].md5, lines[i].md5);
            EXPECT_EQ(whole[i].packageDir, lines[i].packageDir);
            EXPECT_EQ(whole[i].offset, lines[i].offset);
            EXPECT_EQ(whole[i].length, lines[i].length);
            EXPECT_EQ(whole[i].sha256, lines[i].sha256);
        }
        ResoureConfigList copy = whole;
        ResoureConfigMap viaList;
        viaList.Assign(&copy);
        ResoureConfigMap direct;
        ASSERT_TRUE(ParseManifestUtf8(bytes.data(), bytes.size(), &direct));
        std::wstring expected;
        std::wstring written;
        FormatManifestText(viaList, &expected);
        FormatManifestText(direct, &written);
        EXPECT_EQ(expected, written);
        // Straight into the maps of the two targets: each as its category's records make it.
        ResoureConfigList byCategory[2];
        for (const ResoureConfigInfo& info : whole) {
            byCategory[IsLauncherCategory(info.category) ? 1 : 0].push_back(info);
        }
        ResoureConfigMap split[2];
        ASSERT_TRUE(ParseManifestUtf8(bytes.data(), bytes.size(), &split[0], &split[1], nullptr));
        for (int k = 0; k < 2; ++k) {
            ResoureConfigMap records;
            records.Assign(&byCategory[k]);
            EXPECT_EQ(EntriesOf(records), EntriesOf(split[k])) << bytes;
        }
    }
    ResoureConfigList cased;
    ParseManifestUtf8(kBodies[1].data(), kBodies[1].size(), &cased);
    ResoureConfigMap map;
    for (const ResoureConfigInfo& info : cased) map.emplace(info.name, info);
    std::wstring saved;
    FormatManifestText(map, &saved);
    EXPECT_EQ(L"A.dat=3\r\nB.dat=1\r\na.dat=2\r\n", saved);  // two records, ordinal order

    const struct {
        const wchar_t* digest;
        bool packed;
    } kDigests[] = {
        {L"d41d8cd98f00b204e9800998ecf8427e", true},
        {L"D41D8CD98F00B204E9800998ECF8427E", true},
        {L"00000000000000000000000000000000", true},
        {L"D41d8cd98f00b204e9800998ecf8427e", false},  // mixed case: kept as text
        {L"d41d8cd98f00b204e9800998ecf8427", false},
        {L"g41d8cd98f00b204e9800998ecf8427e", false},
        {L"d41d8cd98f00b204e9800998ecf8427:", false},       // the last digit not one
        {L"d41d8cd98f00b204e9800998ecf8427\u0161", false},  // an "a" in its low byte
        {L"0123", false},
        {L"", false},
    };
    for (const auto& c : kDigests) {
        const PackedDigest<16> packed(c.digest);
        EXPECT_EQ(c.digest, packed.Text());
        EXPECT_EQ(c.packed, packed.Bytes() != nullptr) << c.digest;
    }
}

// A map holds what a std::map of the records held: ordinal order (UTF-16 code units, names
// differing only in case apart), the first record of a name, every digest's text, the folder;
// names recorded in any order land in their places.
TEST(ManifestText, MapsHoldWhatTheRecordsSaid) {
    const wchar_t* kLines[][3] = {
        {L"b", L"D41D8CD98F00B204E9800998ECF8427E", L"pkg/1"},
        {L"B", L"d41d8cd98f00b204e9800998ecf8427e", L"pkg/2"},
        {L"a", L"D41d8cd98f00b204e9800998ecf8427e", L"pkg/1"},  // mixed case
        {L"\uE000.dat", L"v1", L""},
        {L"\U0001F600.dat", L"\u6E38", L"pkg/\u6E38"},  // a surrogate pair sorts before U+E000
        {L"\u00E9", L"0123", L"pkg/2"},
        {L"a", L"ffffffffffffffffffffffffffffffff", L"pkg/3"},  // a second "a": the first stays
    };
    ResoureConfigList list;
    std::map<std::wstring, ResoureConfigInfo> model;
    for (const auto& line : kLines) {
        ResoureConfigInfo info;
        info.name = line[0];
        info.md5 = line[1];
        info.packageDir = line[2];
        model.emplace(info.name, info);
        list.push_back(info);
    }
    ResoureConfigInfo longText;  // a text longer than the arena's blocks
    longText.name = L"z";
    longText.md5 = std::wstring(40000, L'q');
    model.emplace(longText.name, longText);
    list.push_back(longText);
    // Names whose length takes one unit and two in the arena, both longer than its blocks.
    for (const size_t size : {0x7FFF, 0x8000}) {
        longText.name.assign(size, L'n');
        model.emplace(longText.name, longText);
        list.push_back(longText);
    }
    // A local list holds the names and digests of the same records.
    LocalManifestMap local;
    for (const ResoureConfigInfo& info : list) local.Append(info.name, info.md5);
    local.Sort();
    ResoureConfigMap map;
    map.Assign(&list);
    ASSERT_EQ(model.size(), map.size());
    std::wstring expected;
    auto entry = map.begin();
    for (const auto& record : model) {
        expected += record.first + L"=" + record.second.md5 + L"\r\n";
        EXPECT_EQ(record.first, map.Name(*entry));
        EXPECT_EQ(record.second.md5, entry->md5.Text());
        EXPECT_EQ(record.second.packageDir, map.Folder(*entry));
        ++entry;
    }
    std::wstring text;
    ASSERT_TRUE(FormatManifestText(map, &text));
    EXPECT_EQ(expected, text);
    std::string bytes;
    std::string utf8;
    TextToUtf8(text.c_str(), &utf8);
    ASSERT_TRUE(FormatManifestUtf8(map, &bytes));
    EXPECT_EQ(utf8, bytes);
    std::wstring localText;
    ASSERT_TRUE(FormatManifestText(local, &localText));
    EXPECT_EQ(expected, localText);
    // A zero in a name ends the text, and an empty name (first) cannot end a slice.
    LocalManifestMap odd;
    for (const wchar_t* name : {L"d", L"", L"a"}) odd.SetDigest(name, PackedDigest<16>(L"1"));
    odd.SetDigest(std::wstring(L"b\0c", 3), PackedDigest<16>(L"2"));
    for (size_t size : kSliceSizes) {
        EXPECT_EQ("=1\r\na=1\r\nb", InSlices(odd, size, FormatManifestUtf8Slice)) << size;
        EXPECT_EQ("", InSlices(LocalManifestMap(), size, FormatManifestUtf8Slice));
    }

    // Names recorded in any order, also into a list that already holds some; most of them
    // erased again, so that the names and texts left move to a fresh arena; a copy outlives its
    // source.
    std::vector<std::wstring> names;
    for (int i = 0; i < 4000; ++i)
        names.push_back(L"data\\sub\\" + std::to_wstring(i * 7919 % 4000));
    // The names a CDN list holds are kept once, there: those held and those recorded after.
    {
        ResoureConfigMap cdn = map;
        for (size_t i = 0; i < names.size(); i += 2) cdn.SetDigest(names[i], PackedDigest<16>());
        local.BorrowNames(std::make_shared<const ResoureConfigMap>(std::move(cdn)));
    }
    for (const std::wstring& name : names) {
        const std::wstring digest = name.size() % 2 ? L"x" + name : std::wstring(32, L'a');
        map.SetDigest(name, PackedDigest<16>(digest));
        local.SetDigest(name, PackedDigest<16>(digest));
        model[name].md5 = digest;
    }
    map.SetDigest(L"B", PackedDigest<16>(L"v2"));
    local.SetDigest(L"B", PackedDigest<16>(L"v2"));
    model[L"B"].md5 = L"v2";
    std::vector<const std::wstring*> gone = {&names[3], &names[1], &names[3]};
    for (size_t i = 10; i < 3700; ++i) gone.push_back(&names[i]);
    map.EraseNames(gone);
    local.EraseNames(gone);
    for (const std::wstring* name : gone) model.erase(*name);
    ResoureConfigMap copy = map;
    LocalManifestMap localCopy = local;
    map.clear();
    local.clear();
    ASSERT_EQ(model.size(), copy.size());
    ASSERT_EQ(model.size(), localCopy.size());
    auto recorded = copy.begin();
    auto held = localCopy.begin();
    expected.clear();
    for (const auto& record : model) {
        expected += record.first + L"=" + record.second.md5 + L"\r\n";
        EXPECT_EQ(record.first, copy.Name(*recorded));
        EXPECT_EQ(record.second.md5, recorded->md5.Text());
        EXPECT_EQ(record.first, localCopy.Name(*held));
        EXPECT_EQ(record.second.md5, held->md5.Text());
        ++recorded;
        ++held;
    }
    // Borrowed from one list and then from another that holds them elsewhere (the first one
    // gone), the names stay.
    auto first = std::make_shared<ResoureConfigMap>();
    first->SetDigest(L"\x01", PackedDigest<16>());
    for (const ResoureConfigEntry& entry : copy) first->SetDigest(copy.Name(entry), entry.md5);
    localCopy.BorrowNames(std::move(first));
    localCopy.BorrowNames(std::make_shared<const ResoureConfigMap>(copy));
    // Saved in slices of any size, the bytes are those of the whole list.
    utf8.clear();
    TextToUtf8(expected.c_str(), &utf8);
    for (size_t maxBytes : kSliceSizes) {
        EXPECT_EQ(utf8, InSlices(localCopy, maxBytes, FormatManifestUtf8Slice)) << maxBytes;
    }
}

TEST(InstallStamps, ListReadsBackAndDamagedLinesAreSkipped) {
    const std::wstring md5 = L"0123456789ABCDEF0123456789abcdef";
    InstallStampMap stamps;
    stamps[L"data\\a.bin"] = {30000, 133500000000000000ULL, md5};
    stamps[L"\u89D2\u8272.dat"] = {0, UINT64_MAX, L"x"};
    std::wstring text;
    FormatStampsText(stamps, &text);
    EXPECT_EQ(0u, text.find(L"data\\a.bin=30000=133500000000000000=" + md5 + L"\r\n"));
    std::string bytes;
    std::string utf8;
    for (const auto& entry : stamps) AppendStampLineUtf8(entry.first, entry.second, &bytes);
    TextToUtf8(text.c_str(), &utf8);
    EXPECT_EQ(utf8, bytes);
    InstallStampMap fromBytes;
    ParseStampsUtf8(bytes.data(), bytes.size(), &fromBytes);
    EXPECT_EQ(2u, fromBytes.size());
    EXPECT_EQ(md5, fromBytes[L"data\\a.bin"].digest);
    InstallStampMap back;
    ParseStampsText(text + L"\r\n\nlate=1=2=d", &back);  // blank lines end nothing
    ASSERT_EQ(3u, back.size());
    EXPECT_EQ(UINT64_MAX, back[L"\u89D2\u8272.dat"].writeTime);
    EXPECT_EQ(md5, back[L"data\\a.bin"].digest);
    EXPECT_EQ(2u, back[L"late"].writeTime);

    for (const wchar_t* damaged : {L"a=1=2", L"=1=2=d", L"a=1=2=", L"a=-1=2=d", L"a=1=2x=d",
                                   L"a==2=d", L"a=1=18446744073709551616=d", L"a=1 =2=d"}) {
        InstallStampMap none;
        ParseStampsText(damaged, &none);
        EXPECT_TRUE(none.empty()) << damaged;
    }
    InstallStampMap first;
    ParseStampsText(L"a=1=2=d\na=3=4=e", &first);
    EXPECT_EQ(1u, first[L"a"].size);
}

// The stamps list read into a table keeps what a std::map of it keeps (the first line of a name,
// names differing only in case apart, every digest's text). Stamps held in a local list's
// records are written as a std::map of the stamps holds them: stamps set in any order (the last
// wins), erased, dropped by a walk; a stamp counts only beside the digest it was taken with.
TEST(InstallStamps, TableKeepsWhatAMapOfTheStampsKeeps) {
    const std::string list =
        "b=1=2=D41D8CD98F00B204E9800998ECF8427E\r\nB=3=4=v1\r\n"
        "a=5=6=D41d8cd98f00b204e9800998ecf8427e\r\nb=7=8=x\r\n\xE6\xB8\xB8=9=10=\xE6\xB8\xB8\r\n";
    InstallStampMap model;
    StampTable table;
    ParseStampsUtf8(list.data(), list.size(), &model);
    ParseStampsUtf8(list.data(), list.size(), &table);
    std::string expected;
    std::string held;
    for (const auto& entry : model) AppendStampLineUtf8(entry.first, entry.second, &expected);
    for (const TableStamp& stamp : table.Sorted()) AppendStampLineUtf8(stamp, &held);
    EXPECT_EQ(expected, held);

    model.clear();
    LocalManifestMap local;
    std::vector<std::wstring> names;
    for (int i = 0; i < 4000; ++i)
        names.push_back(L"data\\sub\\" + std::to_wstring(i * 7919 % 4000));
    names.push_back(names[5]);  // set twice: the last stays
    names.push_back(L"DATA\\sub\\5");
    // Every other name is borrowed from a CDN list (not "DATA\\sub\\5": case counts).
    auto cdn = std::make_shared<ResoureConfigMap>();
    for (size_t i = 0; i < 4000; i += 2) cdn->SetDigest(names[i], PackedDigest<16>());
    cdn->SetDigest(L"data\\sub\\5", PackedDigest<16>());
    local.BorrowNames(cdn);
    for (size_t i = 0; i < names.size(); ++i) {
        const InstallStamp stamp{i, i + 1, i % 2 ? L"y" + names[i] : std::wstring(32, L'F')};
        model[names[i]] = stamp;
        local.SetInstalled(names[i], PackedDigest<16>(stamp.digest), stamp.size, stamp.writeTime);
    }
    std::vector<const std::wstring*> gone;
    for (size_t i = 10; i < 3700; ++i) gone.push_back(&names[i]);
    for (const std::wstring* name : gone) model.erase(*name);
    local.EraseNames(gone);
    // A walk that drops every other stamp.
    size_t i = 0;
    for (auto record = local.begin(); record != local.end(); ++record) {
        if (i++ % 2 == 0) continue;
        model.erase(std::wstring(local.Name(*record)));
        local.ClearStamp(record);
    }
    // A record whose digest changes loses its stamp, also when it gets it back; one given its
    // own digest again keeps it; one recorded missing has none.
    std::vector<std::wstring> stamped;
    for (const auto& entry : model) stamped.push_back(entry.first);
    local.SetDigest(stamped[0], PackedDigest<16>(L"other"));
    local.SetDigest(stamped[0], PackedDigest<16>(model[stamped[0]].digest));
    model.erase(stamped[0]);
    local.SetDigest(stamped[1], PackedDigest<16>(model[stamped[1]].digest));
    local.ClearDigest(local.find(stamped[2]));
    model.erase(stamped[2]);
    local.SetDigest(L"unstamped", PackedDigest<16>(L"v"));
    expected.clear();
    for (const auto& entry : model) AppendStampLineUtf8(entry.first, entry.second, &expected);
    EXPECT_EQ(expected, LocalFilesCheck::FormatStamps(local));
    for (size_t maxBytes : kSliceSizes) {
        EXPECT_EQ(expected, InSlices(local, maxBytes, LocalFilesCheck::FormatStampsSlice));
    }
}

TEST(InstallStamps, VerdictFromListingAndStamp) {
    const std::wstring md5 = L"0123456789ABCDEF0123456789ABCDEF";
    const InstallStamp stamp{100, 5000, md5};
    const InstallStamp otherContent{100, 5000, L"FEDCBA9876543210FEDCBA9876543210"};
    const InstallStamp plain{100, 5000, L"v1"};
    const std::wstring mixed = L"0123456789abcdef0123456789ABCDEF";
    const InstallStamp mixedStamp{100, 5000, mixed};
    const ListedFile same{100, 5000};
    const ListedFile otherSize{99, 5000};
    const ListedFile otherTime{100, 5001};
    const struct {
        const wchar_t* digest;
        const InstallStamp* stamp;
        const ListedFile* listed;
        bool full;
        CheckVerdict verdict;
    } cases[] = {
        {md5.c_str(), &stamp, &same, false, CheckVerdict::Intact},
        {md5.c_str(), &stamp, &same, true, CheckVerdict::Digest},
        {md5.c_str(), &stamp, &otherSize, false, CheckVerdict::Digest},
        {md5.c_str(), &stamp, &otherTime, false, CheckVerdict::Digest},
        {md5.c_str(), &stamp, nullptr, true, CheckVerdict::Missing},
        {md5.c_str(), nullptr, &same, false, CheckVerdict::Digest},  // never stamped
        {md5.c_str(), &otherContent, &same, false,
         CheckVerdict::Digest},  // stamped for other bytes
        // Digests that are no MD5 cannot be read against: the stamp alone decides.
        {L"v1", &plain, &same, true, CheckVerdict::Intact},
        {L"v1", &plain, &otherTime, false, CheckVerdict::Missing},
        {L"v1", nullptr, &same, false, CheckVerdict::Adopt},
        {L"v2", &plain, &same, false, CheckVerdict::Adopt},
        {L"v1", nullptr, nullptr, false, CheckVerdict::Missing},
        {mixed.c_str(), &mixedStamp, &otherTime, false, CheckVerdict::Digest},  // kept as text
        {mixed.c_str(), &mixedStamp, &same, false, CheckVerdict::Intact},
    };
    int row = 0;
    for (const auto& c : cases) {
        EXPECT_EQ(c.verdict, JudgeRecordedFile(c.digest, c.stamp, c.listed, c.full)) << row;
        // The same for a digest of a list and a stamp of a table.
        StampTable table;
        if (c.stamp != nullptr) {
            table.Append(L"f", c.stamp->size, c.stamp->writeTime, c.stamp->digest);
        }
        const TableStamp* tableStamp = c.stamp != nullptr ? &table.Sorted()[0] : nullptr;
        EXPECT_EQ(c.verdict,
                  JudgeRecordedFile(PackedDigest<16>(c.digest), tableStamp, c.listed, c.full))
            << row;
        ++row;
    }
}
