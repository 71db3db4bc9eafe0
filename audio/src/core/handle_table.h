// Maps the 32-bit handles the API hands out to shared objects. A handle is a slot index
// and that slot's generation, never a pointer, so a freed or made-up handle finds nothing.
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
    // Returns the new handle, or 0 when every slot is taken.
    uint32_t add(std::shared_ptr<T> object) {
        std::lock_guard<std::mutex> guard(lock_);
        uint32_t index;
        if (!free_.empty()) {
            index = free_.back();
            free_.pop_back();
        } else if (slots_.size() < max_slots) {
            index = static_cast<uint32_t>(slots_.size());
            slots_.push_back({});
        } else {
            return 0;
        }
        slot &entry = slots_[index];
        entry.object = std::move(object);
        return entry.generation << index_bits | index;
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
        if (!entry)
            return nullptr;
        std::shared_ptr<T> object = std::move(entry->object);
        entry->object.reset();
        // A new generation makes every copy of the old handle stale; 0 is never used.
        entry->generation = (entry->generation + 1) & generation_mask;
        if (entry->generation == 0)
            entry->generation = 1;
        free_.push_back(handle & index_mask);
        return object;
    }

    std::vector<std::shared_ptr<T>> remove_all() {
        std::vector<std::shared_ptr<T>> objects;
        std::vector<uint32_t> handles;
        {
            std::lock_guard<std::mutex> guard(lock_);
            for (uint32_t index = 0; index < slots_.size(); ++index)
                if (slots_[index].object)
                    handles.push_back(slots_[index].generation << index_bits | index);
        }
        for (uint32_t handle : handles)
            if (std::shared_ptr<T> object = remove(handle))
                objects.push_back(std::move(object));
        return objects;
    }

  private:
    static constexpr uint32_t index_bits = 12;
    static constexpr uint32_t index_mask = (1u << index_bits) - 1;
    static constexpr uint32_t generation_mask = (1u << (32 - index_bits)) - 1;
    static constexpr uint32_t max_slots = 1u << index_bits;

    struct slot {
        uint32_t generation = 1;
        std::shared_ptr<T> object;
    };

    const slot *slot_of(uint32_t handle) const {
        uint32_t index = handle & index_mask;
        if (index >= slots_.size())
            return nullptr;
        const slot &entry = slots_[index];
        if (!entry.object || entry.generation != handle >> index_bits)
            return nullptr;
        return &entry;
    }

    mutable std::mutex lock_;
    std::vector<slot> slots_;
    std::vector<uint32_t> free_;
};

} // namespace audio
