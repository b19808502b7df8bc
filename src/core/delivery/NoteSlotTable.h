#pragma once

#include <QtGlobal>

#include <array>
#include <memory>
#include <utility>

namespace vimo {

// The open notes of the main window: a fixed number of slots, each empty or owning one note.
// A new note takes the lowest empty slot and keeps it for life; its slot decides where it
// opens on screen, and the number of occupied slots is what the tray tooltip counts. Slots
// are never compacted. Note is any type with an integer member Key (the note's TKEY).
template <typename Note> class NoteSlotTable {
public:
    static constexpr int Capacity = 500;

    // The lowest empty slot, or -1 when every slot is taken.
    int FirstEmptySlot() const
    {
        for (int slot = 0; slot < Capacity; ++slot) {
            if (!Slots[slot])
                return slot;
        }
        return -1;
    }

    // The slot whose note shows this key, or -1.
    int FindKey(qint64 key) const
    {
        for (int slot = 0; slot < Capacity; ++slot) {
            if (Slots[slot] && Slots[slot]->Key == key)
                return slot;
        }
        return -1;
    }

    Note* At(int slot) const { return IsValid(slot) ? Slots[slot].get() : nullptr; }

    // Puts a note into an empty slot; false (and the note is dropped) when the slot is not
    // empty or does not exist.
    bool Store(int slot, std::unique_ptr<Note> note)
    {
        if (!IsValid(slot) || Slots[slot])
            return false;
        Slots[slot] = std::move(note);
        return true;
    }

    // Empties a slot and hands its note to the caller.
    std::unique_ptr<Note> Take(int slot)
    {
        return IsValid(slot) ? std::move(Slots[slot]) : nullptr;
    }

    int Count() const
    {
        int count = 0;
        for (const auto& note : Slots)
            count += note ? 1 : 0;
        return count;
    }

    // Calls visit(slot, note) for every occupied slot, lowest first.
    template <typename Visitor> void ForEach(Visitor&& visit) const
    {
        for (int slot = 0; slot < Capacity; ++slot) {
            if (Slots[slot])
                visit(slot, *Slots[slot]);
        }
    }

    // Deletes every note, lowest slot first.
    void Clear()
    {
        for (auto& note : Slots)
            note.reset();
    }

private:
    static bool IsValid(int slot) { return slot >= 0 && slot < Capacity; }

    std::array<std::unique_ptr<Note>, Capacity> Slots;
};

} // namespace vimo
