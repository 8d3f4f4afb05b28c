// object_list: the ordered lists that hold the short-lived game objects (shots, trail copies,
// particles, explosion sprites).
#pragma once

#include <cassert>
#include <cstddef>
#include <memory>
#include <stdexcept>
#include <vector>

// Where an object sits in its list; the list keeps it up to date. Game objects derive from it.
class list_slot {
public:
    list_slot() = default;
    // A copied object is not in any list.
    list_slot(const list_slot&) {}
    list_slot& operator=(const list_slot&) { return *this; } // NOLINT(bugprone-unhandled-self-assignment)

private:
    template <class T> friend class object_list;
    const void* owner_ = nullptr; // the list holding the object, or null
    size_t index_ = 0;            // its position in that list's order
};

// Objects are appended at the end and walked in insertion order. An object may take itself (or any
// other) out of the list while the list is being walked; it stays valid until the walk is over, so
// the rest of its update can still read its fields. Taking out an object that is not in the list
// does nothing. Objects appended during a walk are reached by that walk.
//
// The list owns its objects and recycles the memory of those taken out, so a steady game allocates
// nothing: only a burst larger than any before it makes new objects.
template <class T> class object_list {
public:
    object_list() = default;
    object_list(const object_list&) = delete;
    object_list& operator=(const object_list&) = delete;

    // A new object, all fields at their construction values, appended at the end.
    T& append() {
        T* object;
        if (!spare_.empty()) {
            object = spare_.back();
            spare_.pop_back();
            *object = T{};
        } else {
            storage_.push_back(std::make_unique<T>());
            object = storage_.back().get();
        }
        object->owner_ = this;
        object->index_ = order_.size();
        order_.push_back(object);
        ++live_;
        return *object;
    }

    void remove(T& object) {
        if (object.owner_ != this) return;
        assert(object.index_ < order_.size() && order_[object.index_] == &object &&
               "object_list: broken slot");
        object.owner_ = nullptr;
        order_[object.index_] = nullptr;
        --live_;
        if (walking_ > 0) {
            // The walker may still be inside this object: recycle it only after the walk.
            retired_.push_back(&object);
        } else {
            spare_.push_back(&object);
            compact();
        }
    }

    void clear() {
        for (T* object : order_) {
            if (!object) continue;
            object->owner_ = nullptr;
            (walking_ > 0 ? retired_ : spare_).push_back(object);
        }
        if (walking_ > 0) {
            for (T*& object : order_) object = nullptr;
        } else {
            order_.clear();
        }
        live_ = 0;
    }

    // Calls visit(object) for every object in list order.
    template <class F> void walk(F&& visit) {
        ++walking_;
        for (size_t i = 0; i < order_.size(); ++i)
            if (T* object = order_[i]) visit(*object);
        if (--walking_ == 0) {
            compact();
            spare_.insert(spare_.end(), retired_.begin(), retired_.end());
            retired_.clear();
        }
    }

    size_t size() const { return live_; }
    bool empty() const { return live_ == 0; }
    bool contains(const T& object) const { return object.owner_ == this; }

    // The n-th object in list order (n < size()).
    T& at(size_t n) {
        for (T* object : order_)
            if (object && n-- == 0) return *object;
        throw std::out_of_range("object_list::at: index beyond the end");
    }

    // Objects ever made by this list: live, waiting to be recycled, or spare.
    size_t allocated() const { return storage_.size(); }

private:
    // Closes the gaps left by removed objects, keeping the order.
    void compact() {
        size_t kept = 0;
        for (T* object : order_) {
            if (!object) continue;
            object->index_ = kept;
            order_[kept++] = object;
        }
        order_.resize(kept);
    }

    std::vector<std::unique_ptr<T>> storage_;
    std::vector<T*> order_; // live objects in order; null where one was removed during a walk
    std::vector<T*> spare_; // ready for reuse
    std::vector<T*> retired_;
    size_t live_ = 0;
    int walking_ = 0;
};
