// Read-only lists that hand out their items by value, computed from flat
// storage: iterators and the usual accessors for a class that has size()
// and operator[].
#pragma once

#include <compare>
#include <cstddef>
#include <iterator>

template <class List, class Item>
class ItemIterator {
public:
    using iterator_category = std::random_access_iterator_tag;
    using value_type = Item;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = Item;

    ItemIterator() = default;
    ItemIterator(const List* list, std::size_t i) : list_(list), i_(i) {}

    Item operator*() const { return (*list_)[i_]; }
    Item operator[](difference_type n) const { return (*list_)[i_ + n]; }
    ItemIterator& operator++() { return ++i_, *this; }
    ItemIterator operator++(int) { return {list_, i_++}; }
    ItemIterator& operator--() { return --i_, *this; }
    ItemIterator operator--(int) { return {list_, i_--}; }
    ItemIterator& operator+=(difference_type n) { return i_ += n, *this; }
    ItemIterator& operator-=(difference_type n) { return i_ -= n, *this; }
    friend ItemIterator operator+(ItemIterator it, difference_type n) { return it += n; }
    friend ItemIterator operator+(difference_type n, ItemIterator it) { return it += n; }
    friend ItemIterator operator-(ItemIterator it, difference_type n) { return it -= n; }
    friend difference_type operator-(const ItemIterator& a, const ItemIterator& b) {
        return static_cast<difference_type>(a.i_) - static_cast<difference_type>(b.i_);
    }
    friend bool operator==(const ItemIterator& a, const ItemIterator& b) { return a.i_ == b.i_; }
    friend std::strong_ordering operator<=>(const ItemIterator& a, const ItemIterator& b) { return a.i_ <=> b.i_; }

private:
    const List* list_ = nullptr;
    std::size_t i_ = 0;
};

// Derive List from ItemList<List, Item> to give it begin, end, empty, front
// and back.
template <class List, class Item>
class ItemList {
public:
    ItemIterator<List, Item> begin() const { return {self(), 0}; }
    ItemIterator<List, Item> end() const { return {self(), self()->size()}; }
    bool empty() const { return self()->size() == 0; }
    Item front() const { return (*self())[0]; }
    Item back() const { return (*self())[self()->size() - 1]; }

private:
    const List* self() const { return static_cast<const List*>(this); }
};
