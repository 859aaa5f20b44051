// DYNARRAY: a growable array of owned STRINGs, locked internally so that each operation is atomic.
#pragma once

#include <memory>

#include "lib/osys.h"
#include "lib/strings.h"

class DYNARRAY {
public:
    // growby -1: grow by capacity.
    explicit DYNARRAY(int capacity, int growby = -1);
    DYNARRAY(const DYNARRAY& other);
    DYNARRAY& operator=(const DYNARRAY& other);
    virtual ~DYNARRAY();

    // Ordering of two items for sorting callers; DYNARRAY itself has none (asserts).
    virtual int Compare(const STRING& a, const STRING& b, int flags) const;

    int Count() const;
    int GetMaxItems() const;
    int GetGrowBy() const { return GrowBy; }
    const char* GetTypeName() const { return TypeName; }

    // The item at index; null (after an assertion) when index is out of range. The pointer stays valid
    // until the item is deleted; hold Lock() meanwhile when other threads change the array.
    STRING* Get(int index);
    const STRING* Get(int index) const;
    // Stores a copy of text at pos (0..Count()); false (after an assertion) for a bad position.
    bool Insert(int pos, const STRING& text);
    // Returns the position of the new item.
    int Append(const STRING& text);
    bool Swap(int pos1, int pos2);
    bool DeleteItem(int pos);
    void Clear();

    // Explicit locking so that a caller can make several operations atomic. The lock is recursive.
    bool Lock(int timeoutms = -1) const;
    bool Unlock() const;

    // The kind shown in index errors (at most 31 characters).
    void SetTypeName(const char* name);

private:
    using SLOTS = std::unique_ptr<std::unique_ptr<STRING>[]>;

    bool ValidIndex(int index) const;
    void CopyFrom(const DYNARRAY& other);

    char TypeName[32] = "DYNARRAY";
    // An in-process lock: a kernel mutex costs a round trip to the kernel (to the wine server under Wine) for
    // every operation, and arrays are never shared with other processes.
    std::unique_ptr<CRITSECT> pLock;
    SLOTS ppItems;
    int ItemCount = 0;
    int MaxItems = 0;
    int GrowBy = 0;
};

// Holds an array's lock for a scope.
class DYNARRAYLOCK {
public:
    explicit DYNARRAYLOCK(const DYNARRAY& array) : Array(array) { Array.Lock(); }
    ~DYNARRAYLOCK() { Array.Unlock(); }
    DYNARRAYLOCK(const DYNARRAYLOCK&) = delete;
    DYNARRAYLOCK& operator=(const DYNARRAYLOCK&) = delete;

private:
    const DYNARRAY& Array;
};
