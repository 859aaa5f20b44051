#include "lib/hash.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "lib/orvik.h"
#include "lib/osys.h"
#include "lib/osysfile_platform.h"

namespace {

bool KeysEqual(const STRING& a, const char* b) {
    return StringCompareNoCase(a.Text(), b) == 0;
}

} // namespace

HASH::HASH() {
    KeyArray.SetTypeName("HASH-KEYS");
    Values.SetTypeName("HASH-VALUES");
}

HASH::HASH(const STRING& text) : HASH() {
    Parse(text);
}

HASH::~HASH() = default;

int HASH::IndexOf(const char* key) const {
    if (key == nullptr)
        return -1;
    DYNARRAYLOCK lock(KeyArray);
    const int count = KeyArray.Count();
    for (int i = 0; i < count; ++i) {
        const int order = StringCompareNoCase(KeyArray.Get(i)->Text(), key);
        if (order == 0)
            return i;
        if (order > 0)
            break;
    }
    return -1;
}

STRING& HASH::operator[](const char* key) {
    DYNARRAYLOCK lock(KeyArray);
    const int found = IndexOf(key);
    if (found >= 0)
        return *Values.Get(found);
    if (LockTable || key == nullptr) {
        ORVIK_ASSERT_INFO(!this->LockTable, StringNullPolicy(key, "HASH key"));
        Scratch = STRING();
        return Scratch;
    }
    int pos = 0;
    const int count = KeyArray.Count();
    while (pos < count && StringCompareNoCase(KeyArray.Get(pos)->Text(), key) < 0)
        ++pos;
    KeyArray.Insert(pos, STRING(key));
    Values.Insert(pos, STRING());
    return *Values.Get(pos);
}

bool HASH::Remove(const char* key) {
    DYNARRAYLOCK lock(KeyArray);
    for (int i = 0; key != nullptr && i < KeyArray.Count(); ++i) {
        if (KeysEqual(*KeyArray.Get(i), key)) {
            KeyArray.DeleteItem(i);
            Values.DeleteItem(i);
            return true;
        }
    }
    return false;
}

void HASH::Sort() {
    DYNARRAYLOCK lock(KeyArray);
    const int count = KeyArray.Count();
    std::vector<int> order(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        order[static_cast<size_t>(i)] = i;
    // Stable, so equal keys keep their order (the first one of a file stays first).
    std::stable_sort(order.begin(), order.end(), [this](int a, int b) {
        return StringCompareNoCase(KeyArray.Get(a)->Text(), KeyArray.Get(b)->Text()) < 0;
    });
    STRINGARRAY keys(KeyArray.GetMaxItems());
    STRINGARRAY values(Values.GetMaxItems());
    for (int i : order) {
        keys.Append(*KeyArray.Get(i));
        values.Append(*Values.Get(i));
    }
    keys.SetTypeName(KeyArray.GetTypeName());
    values.SetTypeName(Values.GetTypeName());
    KeyArray = keys;
    Values = values;
}

void HASH::Parse(const STRING& text) {
    const char* data = text.c_str();
    const int length = text.Length();
    int start = 0;
    while (data != nullptr && start < length) {
        const void* lf = std::memchr(data + start, '\n', static_cast<size_t>(length - start));
        const int end = lf != nullptr ? static_cast<int>(static_cast<const char*>(lf) - data) : length;
        STRING line;
        line.Make(end - start, data + start);
        AddLine(line);
        start = end + 1;
    }
    Sort();
}

void HASH::AddLine(const STRING& line) {
    STRING item = line;
    // A file read in binary (or on a system without text mode) keeps the CR of CR LF line ends.
    if (item.Length() > 0 && item[item.Length() - 1] == '\r')
        item.Truncate(item.Length() - 1);
    if (item.IsEmpty() || StartsWithNoCase(item, "//"))
        return;
    if (item[0] == '#' && !StartsWithNoCase(item, "#Handle=") && !StartsWithNoCase(item, "#Key="))
        return;
    int pos = -1;
    if (!item.Find("=", &pos)) {
        ORVIK_ASSERT_INFO(item.Find("="), item.Text());
        return;
    }
    const STRING key = item.Left(pos);
    STRING value = item.Mid(pos + 1);
    const int n = value.Length();
    if (n >= 5 && std::strncmp(value.c_str(), "={{", 3) == 0 &&
        std::strcmp(value.c_str() + n - 2, "}}") == 0) {
        STRING decoded = value.Mid(3, n - 5).FromBase64();
        decoded.MakeNotNull();
        decoded.SetFlags(decoded.GetFlags() | HASH_VALUE_BASE64);
        value = decoded;
    } else {
        value = value.Unescape(false);
        value.MakeNotNull();
    }
    if (KeysEqual(key, "#Handle")) {
        Handle = value.ToInt();
    } else if (KeysEqual(key, "#Key")) {
        Key = value;
        HasKeyLine = true;
    } else {
        KeyArray.Append(key);
        Values.Append(value);
    }
}

bool HASH::Load(const char* filename) {
    LogPrintf("HASH::Load %s\n", StringNullPolicy(filename, "HASH::Load"));
    BINARY contents;
    const bool ok = filename != nullptr && contents.Load(OSYSFILE::DiskPath(filename).c_str(), "r");
    if (ok) {
        HASH loaded{STRING(contents)};
        if (!loaded.HasKeyLine)
            loaded.Key = Key;
        *this = loaded;
    }
    LogPrintf("HASH::Load returns %d, %s\n", ok ? 1 : 0, OSYS::GetLastErrorString().Text());
    return ok;
}
