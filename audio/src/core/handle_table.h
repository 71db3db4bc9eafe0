// Maps the 32-bit handles the API hands out to shared objects. A handle is the table's kind,
// a slot's generation and the slot's index, never a pointer, so a freed or made-up handle,
// or one from a table of another kind, finds nothing.
//
// Threads: every member may be called from any thread; `lock_` guards `slots_` and `free_`.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace audio {

template <typename T> class handle_table {
  public:
    // `kind` (1 to 15) sets the handles' top bits: tables of different kinds never share a
    // handle.
    explicit handle_table(uint32_t kind) : kind_bits_((kind & kind_mask) << kind_shift) {}

    // Returns the new handle, or 0 when every slot is taken.
    uint32_t add(std::shared_ptr<T> object) {
        std::lock_guard<std::mutex> guard(lock_);
        uint32_t index;
        if (!free_.empty()) {
            index = free_.back();
            free_.pop_back();
        } else if (slots_.size() < max_slots) {
            index = static_cast<uint32_t>(slots_.size());
            // Room for every slot in the free list now, so that releasing one (which frees
            // run) never needs memory.
            free_.reserve(slots_.size() + 1);
            slots_.push_back({});
        } else {
            return 0;
        }
        slot &entry = slots_[index];
        entry.object = std::move(object);
        return handle_of(index);
    }

    std::shared_ptr<T> find(uint32_t handle) const {
        std::lock_guard<std::mutex> guard(lock_);
        const slot *entry = slot_of(handle);
        return entry ? entry->object : nullptr;
    }

    // Forgets the handle and returns its object (null when the handle named nothing).
    std::shared_ptr<T> remove(uint32_t handle) {
        std::lock_guard<std::mutex> guard(lock_);
        slot *entry = const_cast<slot *>(slot_of(handle));
        return entry ? release(handle & index_mask) : nullptr;
    }

    // Forgets every handle whose object `matches`, and returns those objects. `matches` runs
    // under the table's lock: it must not call back into the table.
    template <typename Predicate> std::vector<std::shared_ptr<T>> remove_where(Predicate matches) {
        std::vector<std::shared_ptr<T>> objects;
        std::lock_guard<std::mutex> guard(lock_);
        // Room first: running out of memory leaves every handle as it was.
        objects.reserve(slots_.size());
        for (uint32_t index = 0; index < slots_.size(); ++index)
            if (slots_[index].object && matches(*slots_[index].object))
                objects.push_back(release(index));
        return objects;
    }

    std::vector<std::shared_ptr<T>> remove_all() {
        return remove_where([](const T &) { return true; });
    }

  private:
    static constexpr uint32_t index_bits = 12;
    static constexpr uint32_t generation_bits = 16;
    static constexpr uint32_t kind_shift = index_bits + generation_bits;
    static constexpr uint32_t index_mask = (1u << index_bits) - 1;
    static constexpr uint32_t generation_mask = (1u << generation_bits) - 1;
    static constexpr uint32_t kind_mask = (1u << (32 - kind_shift)) - 1;
    static constexpr uint32_t max_slots = 1u << index_bits;

    struct slot {
        uint32_t generation = 1;
        std::shared_ptr<T> object;
    };

    uint32_t handle_of(uint32_t index) const {
        return kind_bits_ | slots_[index].generation << index_bits | index;
    }

    const slot *slot_of(uint32_t handle) const {
        if ((handle & ~(index_mask | generation_mask << index_bits)) != kind_bits_)
            return nullptr;
        uint32_t index = handle & index_mask;
        if (index >= slots_.size())
            return nullptr;
        const slot &entry = slots_[index];
        if (!entry.object || entry.generation != (handle >> index_bits & generation_mask))
            return nullptr;
        return &entry;
    }

    // Under lock_: empties the slot and returns its object.
    std::shared_ptr<T> release(uint32_t index) {
        slot &entry = slots_[index];
        std::shared_ptr<T> object = std::move(entry.object);
        entry.object.reset();
        // A new generation makes every copy of the old handle stale; 0 is never used.
        entry.generation = (entry.generation + 1) & generation_mask;
        if (entry.generation == 0)
            entry.generation = 1;
        free_.push_back(index);
        return object;
    }

    const uint32_t kind_bits_;
    mutable std::mutex lock_;
    std::vector<slot> slots_;
    std::vector<uint32_t> free_;
};

} // namespace audio
