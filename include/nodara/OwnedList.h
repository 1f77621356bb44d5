#pragma once
#include <cstddef>
#include <utility>
#include <vector>

/// A list of object pointers that knows, entry by entry, which objects it owns.
/// Whatever is added is owned. A copy lists the same objects but owns none of
/// them. Assignment keeps owning the objects the source lists too and releases
/// the other owned ones, so however copies and assignments mix (an earlier copy
/// assigned back onto its grown source, say), each object is released once.
///
/// NOTE: an object added twice is owned, and released, twice; the node tree
/// documents the same hazard.
template <typename T>
class OwnedList {
public:
    OwnedList() = default;
    OwnedList(const OwnedList& other) : items(other.items), owned(other.items.size(), false) {}
    OwnedList& operator=(const OwnedList& other);
    ~OwnedList() { Release(); }

    /// Appends `item` and takes ownership; null is ignored.
    void Add(T* item) {
        if (!item) return;
        items.push_back(item);
        owned.push_back(true);
    }
    /// Removes the first entry equal to `item` without destroying it; what the
    /// list owned, the caller owns from then on.
    void Remove(T* item);
    /// Empties the list without destroying anything.
    void Clear() {
        items.clear();
        owned.clear();
    }
    /// Destroys the owned objects in list order, then empties the list.
    void Release();

    /// Null past the end.
    T* Get(unsigned int index) const { return index < items.size() ? items[index] : nullptr; }
    unsigned int GetCount() const { return static_cast<unsigned int>(items.size()); }

    typename std::vector<T*>::const_iterator begin() const { return items.begin(); }
    typename std::vector<T*>::const_iterator end() const { return items.end(); }

private:
    std::vector<T*> items;
    std::vector<bool> owned;  ///< parallel to `items`
};

template <typename T>
OwnedList<T>& OwnedList<T>::operator=(const OwnedList& other) {
    if (this == &other) return *this;
    std::vector<bool> keep(other.items.size(), false);
    std::vector<T*> dropped;
    // Each owned entry claims one unclaimed entry of the source listing the
    // same object; an owned object the source does not list is released.
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (!owned[i]) continue;
        std::size_t j = 0;
        while (j < other.items.size() && (other.items[j] != items[i] || keep[j])) ++j;
        if (j < other.items.size())
            keep[j] = true;
        else
            dropped.push_back(items[i]);
    }
    items = other.items;
    owned = std::move(keep);
    for (T* item : dropped) delete item;
    return *this;
}

template <typename T>
void OwnedList<T>::Remove(T* item) {
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i] != item) continue;
        items.erase(items.begin() + static_cast<std::ptrdiff_t>(i));
        owned.erase(owned.begin() + static_cast<std::ptrdiff_t>(i));
        return;
    }
}

template <typename T>
void OwnedList<T>::Release() {
    static_assert(sizeof(T) > 0, "destroying through a pointer to an incomplete type");
    for (std::size_t i = 0; i < items.size(); ++i)
        if (owned[i]) delete items[i];
    Clear();
}
