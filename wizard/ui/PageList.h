// CPageList: the ordered list of a wizard's pages. It holds pointers that it
// does not own; the pages outlive the list's use of them. Platform-free, so
// the wizard's navigation rules built on it are tested on any platform.
#ifndef FLASHWIZARD_UI_PAGELIST_H
#define FLASHWIZARD_UI_PAGELIST_H

#include <cstddef>
#include <vector>

template <class TPage>
class CPageList {
public:
    using const_iterator = typename std::vector<TPage*>::const_iterator;

    // Puts page at the end of the list. Returns nothing. The thread that
    // owns the list (as for every function here).
    void Append(TPage* page) { m_pages.push_back(page); }
    // Forgets every page (none is deleted). Returns nothing.
    void Clear() { m_pages.clear(); }

    // Returns the number of pages.
    std::size_t Count() const { return m_pages.size(); }
    // Return the first or the last page; null when the list is empty.
    TPage* First() const { return m_pages.empty() ? nullptr : m_pages.front(); }
    TPage* Last() const { return m_pages.empty() ? nullptr : m_pages.back(); }

    // Return the page after or before page; null when page is the last (the
    // first) one or is not in the list.
    TPage* After(const TPage* page) const {
        const std::size_t at = IndexOf(page);
        return at != kNone && at + 1 < m_pages.size() ? m_pages[at + 1] : nullptr;
    }
    TPage* Before(const TPage* page) const {
        const std::size_t at = IndexOf(page);
        return at != kNone && at > 0 ? m_pages[at - 1] : nullptr;
    }

    // Returns the first page, in list order, for which match(page) is true;
    // null when there is none.
    template <class Match>
    TPage* FindFirst(Match match) const {
        for (TPage* page : m_pages) {
            if (match(page)) return page;
        }
        return nullptr;
    }

    // Return the ends of the list, for walking it in order.
    const_iterator begin() const { return m_pages.begin(); }
    const_iterator end() const { return m_pages.end(); }

private:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    std::size_t IndexOf(const TPage* page) const {
        for (std::size_t i = 0; i < m_pages.size(); ++i) {
            if (m_pages[i] == page) return i;
        }
        return kNone;
    }

    std::vector<TPage*> m_pages;
};

#endif  // FLASHWIZARD_UI_PAGELIST_H
