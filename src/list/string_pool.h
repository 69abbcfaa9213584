#pragma once

#include <QString>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Interns byte strings: equal keys share one id, and each id keeps the text shown for it.
// Lookups by raw bytes need no allocation, so millions of repeating cells stay cheap.
class StringPool {
public:
    StringPool() { clear(); }

    void clear();
    // The id of `key`, adding it with the text `makeText(key)` when it is new.
    template <class MakeText> uint32_t intern(std::string_view key, MakeText makeText) {
        if (m_slots.size() < (m_texts.size() + 1) * 2)
            grow();
        const size_t mask = m_slots.size() - 1;
        size_t slot = std::hash<std::string_view>{}(key)&mask;
        while (uint32_t id = m_slots[slot]) {
            if (keyOf(id - 1) == key)
                return id - 1;
            slot = (slot + 1) & mask;
        }
        const uint32_t id = uint32_t(m_texts.size());
        m_keyOffsets.push_back(uint32_t(m_keys.size()));
        m_keys.append(key);
        m_keyOffsets.push_back(uint32_t(m_keys.size()));
        m_texts.push_back(makeText(key));
        m_slots[slot] = id + 1;
        return id;
    }

    const QString& text(uint32_t id) const { return m_texts[id]; }
    // The bytes that `id` was interned with.
    std::string_view key(uint32_t id) const { return keyOf(id); }
    size_t size() const { return m_texts.size(); }

private:
    std::string_view keyOf(uint32_t id) const {
        return std::string_view(m_keys).substr(m_keyOffsets[2 * id],
                                               m_keyOffsets[2 * id + 1] - m_keyOffsets[2 * id]);
    }
    void grow();

    std::string m_keys;
    std::vector<uint32_t> m_keyOffsets;
    std::vector<QString> m_texts;
    std::vector<uint32_t> m_slots; // id + 1, 0 for an empty slot
};
