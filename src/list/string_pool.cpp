#include "list/string_pool.h"

void StringPool::clear() {
    m_keys.clear();
    m_keyOffsets.clear();
    m_texts.clear();
    m_slots.assign(64, 0);
}

void StringPool::grow() {
    std::vector<uint32_t> table(m_slots.size() * 2, 0);
    const size_t mask = table.size() - 1;
    for (uint32_t id = 0; id < m_texts.size(); ++id) {
        size_t slot = std::hash<std::string_view>{}(keyOf(id)) & mask;
        while (table[slot])
            slot = (slot + 1) & mask;
        table[slot] = id + 1;
    }
    m_slots.swap(table);
}
