#include "lib/dynarray.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "lib/orvik.h"

#ifndef FALSE
// Condition of the assertions that report an impossible request, spelt as on Windows.
#define FALSE 0
#endif

DYNARRAY::DYNARRAY(int capacity, int growby) : pLock(new CRITSECT()) {
    MaxItems = std::max(capacity, 1);
    GrowBy = growby == -1 ? MaxItems : std::max(growby, 1);
    ppItems = SLOTS(new std::unique_ptr<STRING>[static_cast<size_t>(MaxItems)]);
}

DYNARRAY::DYNARRAY(const DYNARRAY& other) : pLock(new CRITSECT()) { CopyFrom(other); }

DYNARRAY& DYNARRAY::operator=(const DYNARRAY& other) {
    if (this != &other)
        CopyFrom(other);
    return *this;
}

DYNARRAY::~DYNARRAY() = default;

// The copy is built under the source's lock only and then swapped in under this lock, so that no thread
// ever holds two array locks at once.
void DYNARRAY::CopyFrom(const DYNARRAY& other) {
    SLOTS items;
    int count = 0;
    int maxitems = 0;
    int growby = 0;
    char typename_[sizeof TypeName];
    {
        DYNARRAYLOCK lock(other);
        maxitems = other.MaxItems;
        growby = other.GrowBy;
        count = other.ItemCount;
        std::memcpy(typename_, other.TypeName, sizeof typename_);
        items = SLOTS(new std::unique_ptr<STRING>[static_cast<size_t>(maxitems)]);
        for (int i = 0; i < count; ++i)
            items[i] = std::make_unique<STRING>(*other.ppItems[i]);
    }
    DYNARRAYLOCK lock(*this);
    std::swap(ppItems, items);
    MaxItems = maxitems;
    GrowBy = growby;
    ItemCount = count;
    std::memcpy(TypeName, typename_, sizeof TypeName);
}

void DYNARRAY::SetTypeName(const char* name) {
    std::snprintf(TypeName, sizeof TypeName, "%s", name != nullptr ? name : "");
}

int DYNARRAY::Compare(const STRING& a, const STRING& b, int flags) const {
    ORVIK_ASSERT(FALSE);
    return 0;
}

int DYNARRAY::Count() const {
    DYNARRAYLOCK lock(*this);
    return ItemCount;
}

int DYNARRAY::GetMaxItems() const {
    DYNARRAYLOCK lock(*this);
    return MaxItems;
}

bool DYNARRAY::ValidIndex(int i) const {
    if (i >= 0 && i < ItemCount)
        return true;
    STRING info;
    info.Printf("i= %d, max= %d, count= %d, type= %s, this= %p", i, MaxItems, ItemCount, TypeName,
                static_cast<const void*>(this));
    ORVIK_ASSERT_INFO(FALSE, info.c_str());
    return false;
}

STRING* DYNARRAY::Get(int index) {
    DYNARRAYLOCK lock(*this);
    return ValidIndex(index) ? ppItems[index].get() : nullptr;
}

const STRING* DYNARRAY::Get(int index) const {
    DYNARRAYLOCK lock(*this);
    return ValidIndex(index) ? ppItems[index].get() : nullptr;
}

bool DYNARRAY::Insert(int pos, const STRING& text) {
    DYNARRAYLOCK lock(*this);
    if (!(pos >= 0 && pos <= ItemCount)) {
        STRING info;
        info.Printf("%d/%d", pos, ItemCount);
        ORVIK_ASSERT_INFO(pos>=0 && pos<=this->ItemCount, info.c_str());
        return false;
    }
    if (ItemCount >= MaxItems) {
        const int grown = MaxItems + GrowBy;
        SLOTS items(new std::unique_ptr<STRING>[static_cast<size_t>(grown)]);
        for (int i = 0; i < ItemCount; ++i)
            items[i] = std::move(ppItems[i]);
        ppItems = std::move(items);
        MaxItems = grown;
        if (!(ItemCount < MaxItems)) {
            ORVIK_ASSERT(this->ItemCount<this->MaxItems);
            return false;
        }
    }
    for (int i = ItemCount; i > pos; --i)
        ppItems[i] = std::move(ppItems[i - 1]);
    ppItems[pos] = std::make_unique<STRING>(text);
    ++ItemCount;
    return true;
}

int DYNARRAY::Append(const STRING& text) {
    DYNARRAYLOCK lock(*this);
    const int pos = ItemCount;
    return Insert(pos, text) ? pos : -1;
}

bool DYNARRAY::Swap(int pos1, int pos2) {
    DYNARRAYLOCK lock(*this);
    if (!(pos1 >= 0 && pos1 < ItemCount)) {
        ORVIK_ASSERT(pos1>=0 && pos1<this->ItemCount);
        return false;
    }
    if (!(pos2 >= 0 && pos2 < ItemCount)) {
        ORVIK_ASSERT(pos2>=0 && pos2<this->ItemCount);
        return false;
    }
    std::swap(ppItems[pos1], ppItems[pos2]);
    return true;
}

bool DYNARRAY::DeleteItem(int pos) {
    DYNARRAYLOCK lock(*this);
    if (!(pos >= 0 && pos < ItemCount)) {
        ORVIK_ASSERT(pos>=0 && pos<this->ItemCount);
        return false;
    }
    LogPrintfLevel(1, "DYNARRAY::DeleteItem is called for pitem= %p\n", static_cast<void*>(ppItems[pos].get()));
    ppItems[pos].reset();
    for (int i = pos; i + 1 < ItemCount; ++i)
        ppItems[i] = std::move(ppItems[i + 1]);
    --ItemCount;
    ppItems[ItemCount].reset();
    return true;
}

void DYNARRAY::Clear() {
    DYNARRAYLOCK lock(*this);
    while (ItemCount > 0)
        DeleteItem(ItemCount - 1);
}

bool DYNARRAY::Lock(int timeoutms) const {
    if (timeoutms >= 0)
        return pLock->TryEnter(timeoutms);
    pLock->Enter();
    return true;
}

bool DYNARRAY::Unlock() const {
    pLock->Leave();
    return true;
}
